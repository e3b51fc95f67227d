#include "jxlcodec.h"

#include "imaging/result.h"
#include "jxlsession.h"

#include <algorithm>
#include <cstring>

namespace kamelo::imaging::jxlcodec {
namespace {

// An Exif box larger than this is not camera information but something
// else (or a Brotli bomb); JPEG itself holds at most 64 KB.
constexpr size_t kMaxExifBytes = size_t(4) << 20;

bool isExif(JxlDecoder* dec) {
    JxlBoxType type{};
    return JxlDecoderGetBoxType(dec, type, JXL_TRUE) == JXL_DEC_SUCCESS &&
           std::memcmp(type, "Exif", 4) == 0;
}

// The box's block without its leading offset to the TIFF header.
int tiffPart(const std::vector<uint8_t>& box, std::vector<uint8_t>& exif) {
    if (box.size() < 4)
        return result::kCorruptData;
    const size_t offset =
        size_t(box[0]) << 24 | size_t(box[1]) << 16 | size_t(box[2]) << 8 | size_t(box[3]);
    if (offset > box.size() - 4 || box.size() - 4 - offset < 8)
        return result::kCorruptData;
    const uint8_t* tiff = box.data() + 4 + offset;
    const bool intel = std::memcmp(tiff, "II*\0", 4) == 0;
    const bool motorola = std::memcmp(tiff, "MM\0*", 4) == 0;
    if (!intel && !motorola)
        return result::kCorruptData;
    exif.assign(tiff, box.data() + box.size());
    return result::kSuccess;
}

int findExifBox(ByteView bytes, std::vector<uint8_t>& box) {
    jxl::Session s(bytes, JXL_DEC_BOX);
    if (!s.valid() || JxlDecoderSetDecompressBoxes(s.decoder(), JXL_TRUE) != JXL_DEC_SUCCESS)
        return result::kNoMemory;
    // Nothing follows the file: a last box may run to its end.
    s.closeInput();
    bool reading = false; // the buffer set holds the Exif box
    size_t used = 0;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        if (reading && (st == JXL_DEC_BOX || st == JXL_DEC_SUCCESS)) {
            box.resize(box.size() - JxlDecoderReleaseBoxBuffer(s.decoder()));
            return result::kSuccess;
        }
        if (st == JXL_DEC_BOX) {
            if (!isExif(s.decoder()))
                continue;
            uint64_t raw = 0;
            if (JxlDecoderGetBoxSizeRaw(s.decoder(), &raw) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            // A compressed box grows when unpacked; it is given more room below.
            const uint64_t most = std::max<uint64_t>(64, std::min(kMaxExifBytes, bytes.size));
            box.resize(std::clamp<uint64_t>(raw, 64, most));
            if (JxlDecoderSetBoxBuffer(s.decoder(), box.data(), box.size()) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            reading = true;
            used = 0;
        } else if (st == JXL_DEC_BOX_NEED_MORE_OUTPUT && reading) {
            used = box.size() - JxlDecoderReleaseBoxBuffer(s.decoder());
            if (box.size() >= kMaxExifBytes)
                return result::kTooLarge;
            box.resize(std::min(kMaxExifBytes, box.size() * 2));
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

int readExif(ByteView bytes, std::vector<uint8_t>& exif) {
    return withoutThrowing([&]() -> int {
        exif.clear();
        const JxlSignature signature =
            bytes.data ? JxlSignatureCheck(bytes.data, bytes.size) : JXL_SIG_NOT_ENOUGH_BYTES;
        if (signature == JXL_SIG_CODESTREAM)
            return result::kSuccess; // a bare codestream has no boxes
        if (signature != JXL_SIG_CONTAINER)
            return signature == JXL_SIG_NOT_ENOUGH_BYTES ? result::kTruncated
                                                         : result::kUnknownFormat;
        std::vector<uint8_t> box;
        const int rc = findExifBox(bytes, box);
        if (rc == result::kNoStamp)
            return result::kSuccess;
        return rc < 1 ? rc : tiffPart(box, exif);
    });
}

} // namespace kamelo::imaging::jxlcodec
