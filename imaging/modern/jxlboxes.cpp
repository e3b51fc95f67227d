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
// An XMP packet larger than this is no photo's description.
constexpr size_t kMaxXmpBytes = size_t(16) << 20;

bool isBox(JxlDecoder* dec, const char* wanted) {
    JxlBoxType type{};
    return JxlDecoderGetBoxType(dec, type, JXL_TRUE) == JXL_DEC_SUCCESS &&
           std::memcmp(type, wanted, 4) == 0;
}

// The first box of the given type, unpacked when stored compressed (it then
// grows as it is unpacked, up to most bytes); kNoStamp when the file has none.
int findBox(ByteView bytes, const char* type, size_t least, size_t most,
            std::vector<uint8_t>& box) {
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
            if (!isBox(s.decoder(), type))
                continue;
            uint64_t raw = 0;
            if (JxlDecoderGetBoxSizeRaw(s.decoder(), &raw) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            const uint64_t first = std::max<uint64_t>(least, std::min<uint64_t>(most, bytes.size));
            box.resize(std::clamp<uint64_t>(raw, least, first));
            if (JxlDecoderSetBoxBuffer(s.decoder(), box.data(), box.size()) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            reading = true;
        } else if (st == JXL_DEC_BOX_NEED_MORE_OUTPUT && reading) {
            const size_t used = box.size() - JxlDecoderReleaseBoxBuffer(s.decoder());
            if (box.size() >= most)
                return result::kTooLarge;
            box.resize(std::min(most, box.size() * 2));
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

// The box's contents, empty (and success) when the file has none or is a
// bare codestream, which has no boxes.
int readBox(ByteView bytes, const char* type, size_t least, size_t most,
            std::vector<uint8_t>& box) {
    const JxlSignature signature =
        bytes.data ? JxlSignatureCheck(bytes.data, bytes.size) : JXL_SIG_NOT_ENOUGH_BYTES;
    if (signature == JXL_SIG_CODESTREAM)
        return result::kSuccess;
    if (signature != JXL_SIG_CONTAINER)
        return signature == JXL_SIG_NOT_ENOUGH_BYTES ? result::kTruncated : result::kUnknownFormat;
    const int rc = findBox(bytes, type, least, most, box);
    if (rc == result::kNoStamp)
        box.clear();
    return rc == result::kNoStamp ? result::kSuccess : rc;
}

// The Exif box's block without its leading offset to the TIFF header.
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

} // namespace

int readExif(ByteView bytes, std::vector<uint8_t>& exif) {
    return withoutThrowing([&]() -> int {
        exif.clear();
        std::vector<uint8_t> box;
        const int rc = readBox(bytes, "Exif", 64, kMaxExifBytes, box);
        return rc < 1 || box.empty() ? rc : tiffPart(box, exif);
    });
}

int readXmp(ByteView bytes, std::string& xmp) {
    return withoutThrowing([&]() -> int {
        xmp.clear();
        std::vector<uint8_t> box;
        const int rc = readBox(bytes, "xml ", 256, kMaxXmpBytes, box);
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
