#include "jxlcodec.h"

#include "imaging/result.h"
#include "jxlsession.h"

#include <algorithm>
#include <cstring>

namespace kamelo::imaging::jxlcodec {
namespace {

// An XMP packet larger than this is no photo's description (or is a Brotli
// bomb in a compressed box).
constexpr size_t kMaxXmpBytes = size_t(16) << 20;

bool isXmp(JxlDecoder* dec) {
    JxlBoxType type{};
    return JxlDecoderGetBoxType(dec, type, JXL_TRUE) == JXL_DEC_SUCCESS &&
           std::memcmp(type, "xml ", 4) == 0;
}

// The first 'xml ' box's contents, unpacked when stored compressed;
// kNoStamp when the file has none.
int findXmpBox(ByteView bytes, std::vector<uint8_t>& box) {
    jxl::Session s(bytes, JXL_DEC_BOX);
    if (!s.valid() || JxlDecoderSetDecompressBoxes(s.decoder(), JXL_TRUE) != JXL_DEC_SUCCESS)
        return result::kNoMemory;
    s.closeInput(); // a last box may run to the end of the file
    bool reading = false;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        if (reading && (st == JXL_DEC_BOX || st == JXL_DEC_SUCCESS)) {
            box.resize(box.size() - JxlDecoderReleaseBoxBuffer(s.decoder()));
            return result::kSuccess;
        }
        if (st == JXL_DEC_BOX) {
            if (!isXmp(s.decoder()))
                continue;
            uint64_t raw = 0;
            if (JxlDecoderGetBoxSizeRaw(s.decoder(), &raw) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            const uint64_t most = std::max<uint64_t>(256, std::min(kMaxXmpBytes, bytes.size));
            box.resize(std::clamp<uint64_t>(raw, 256, most));
            if (JxlDecoderSetBoxBuffer(s.decoder(), box.data(), box.size()) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            reading = true;
        } else if (st == JXL_DEC_BOX_NEED_MORE_OUTPUT && reading) {
            // A compressed packet grows as it is unpacked.
            const size_t used = box.size() - JxlDecoderReleaseBoxBuffer(s.decoder());
            if (box.size() >= kMaxXmpBytes)
                return result::kTooLarge;
            box.resize(std::min(kMaxXmpBytes, box.size() * 2));
            if (JxlDecoderSetBoxBuffer(s.decoder(), box.data() + used, box.size() - used) !=
                JXL_DEC_SUCCESS)
                return result::kCorruptData;
        } else if (st == JXL_DEC_SUCCESS) {
            return result::kNoStamp;
        } else {
            return jxl::codeFor(st);
        }
    }
}

} // namespace

int readXmp(ByteView bytes, std::string& xmp) {
    return withoutThrowing([&]() -> int {
        xmp.clear();
        const JxlSignature signature =
            bytes.data ? JxlSignatureCheck(bytes.data, bytes.size) : JXL_SIG_NOT_ENOUGH_BYTES;
        if (signature == JXL_SIG_CODESTREAM)
            return result::kSuccess; // a bare codestream has no boxes
        if (signature != JXL_SIG_CONTAINER)
            return signature == JXL_SIG_NOT_ENOUGH_BYTES ? result::kTruncated
                                                         : result::kUnknownFormat;
        std::vector<uint8_t> box;
        const int rc = findXmpBox(bytes, box);
        if (rc == result::kNoStamp)
            return result::kSuccess;
        if (rc < 1)
            return rc;
        // Some writers end the packet with a NUL, as C strings.
        while (!box.empty() && box.back() == 0)
            box.pop_back();
        xmp.assign(box.begin(), box.end());
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging::jxlcodec
