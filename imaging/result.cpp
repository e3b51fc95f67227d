#include "result.h"

namespace kamelo::imaging {

std::string resultText(int code) {
    using namespace result;
    switch (code) {
    case kNoMemory:
        return "메모리가 부족합니다.";
    case kInvalidParameter:
        return "잘못된 값입니다.";
    case kFileNotFound:
        return "파일을 찾을 수 없습니다.";
    case kFileRead:
        return "파일을 읽을 수 없습니다.";
    case kFileWrite:
        return "파일을 쓸 수 없습니다.";
    case kUnknownFormat:
        return "지원하지 않는 그림 형식입니다.";
    case kCorruptData:
        return "그림 파일이 손상되었습니다.";
    case kTruncated:
        return "그림 파일이 중간에 끝났습니다.";
    case kUnsupported:
        return "이 그림 형식의 변형은 지원하지 않습니다.";
    case kTooLarge:
        return "그림이 너무 큽니다.";
    case kNoBitmap:
        return "그림이 없습니다.";
    case kNoStamp:
        return "내장된 미리보기 그림이 없습니다.";
    case kSaveFormat:
        return "저장할 수 없는 형식입니다.";
    case kAborted:
        return "작업이 중단되었습니다.";
    default:
        return code >= 1 ? "성공" : "알 수 없는 오류입니다.";
    }
}

} // namespace kamelo::imaging
