#include "jxlcodec.h"

#include "imaging/colour/profilescan.h"
#include "imaging/result.h"
#include "jxlpixels.h"
#include "jxlsession.h"

#include <algorithm>

namespace kamelo::imaging::jxlcodec {
namespace {

// The profile is compressed in the codestream, so it may be larger than the
// file, but not by more than this; described colour spaces give libjxl's
// own profile of a few hundred bytes whatever the file's size.
constexpr size_t kExpansion = 32;
constexpr size_t kDescribedRoom = 64 << 10;
constexpr size_t kMaxIccBytes = size_t(16) << 20;
constexpr size_t kIccHeaderBytes = 128;

// sRGB, or grey with sRGB's curve: what a picture without a profile is
// taken to be, so writing a profile for it would add nothing.
bool isSrgb(const JxlColorEncoding& e) {
    const bool curve =
        e.white_point == JXL_WHITE_POINT_D65 && e.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
    if (e.color_space == JXL_COLOR_SPACE_GRAY)
        return curve;
    return e.color_space == JXL_COLOR_SPACE_RGB && curve && e.primaries == JXL_PRIMARIES_SRGB;
}

// At the colour event: the profile of the pixels as decode() asks for them.
int profileOfPixels(JxlDecoder* dec, const JxlBasicInfo& basic, size_t fileBytes,
                    std::vector<uint8_t>& icc, bool* wasDescribed = nullptr) {
    jxl::preferSrgb(dec, basic);
    JxlColorEncoding described{};
    const bool isDescribed =
        JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &described) == JXL_DEC_SUCCESS;
    if (wasDescribed)
        *wasDescribed = isDescribed;
    if (isDescribed && isSrgb(described))
        return result::kSuccess;
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
        JXL_DEC_SUCCESS)
        return isDescribed ? result::kSuccess : result::kCorruptData;
    const size_t room = std::min(
        kMaxIccBytes, isDescribed ? kDescribedRoom : std::max(fileBytes, size_t(1)) * kExpansion);
    if (size < kIccHeaderBytes || size > room)
        return result::kCorruptData;
    icc.resize(size);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(),
                                       icc.size()) != JXL_DEC_SUCCESS) {
        icc.clear();
        return result::kCorruptData;
    }
    return result::kSuccess;
}

// The same read for a session: the colour event's profile, judged by
// lcms2; the read stops at that event.
int colourOfSession(jxl::Session& s, size_t fileBytes, colour::ProfilePtr* profile,
                    std::vector<uint8_t>& icc) {
    JxlBasicInfo basic{};
    bool haveBasic = false;
    for (;;) {
        const JxlDecoderStatus st = s.next();
        if (st == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(s.decoder(), &basic) != JXL_DEC_SUCCESS)
                return result::kCorruptData;
            haveBasic = true;
        } else if (st == JXL_DEC_COLOR_ENCODING) {
            if (!haveBasic)
                return result::kCorruptData;
            if (profile) {
                *profile = jxl::pixelProfile(s.decoder(), basic, fileBytes);
                return result::kSuccess;
            }
            return profileOfPixels(s.decoder(), basic, fileBytes, icc);
        } else {
            // The colour event always follows the basic information;
            // anything else ended the file or found it damaged.
            return st == JXL_DEC_SUCCESS ? result::kCorruptData : jxl::codeFor(st);
        }
    }
}

int readColour(ByteView bytes, colour::ProfilePtr* profile, std::vector<uint8_t>& icc) {
    const JxlSignature signature =
        bytes.data ? JxlSignatureCheck(bytes.data, bytes.size) : JXL_SIG_NOT_ENOUGH_BYTES;
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER)
        return signature == JXL_SIG_NOT_ENOUGH_BYTES ? result::kTruncated : result::kUnknownFormat;
    jxl::Session s(bytes, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING);
    if (!s.valid())
        return result::kNoMemory;
    s.closeInput();
    return colourOfSession(s, bytes.size, profile, icc);
}

} // namespace

int readColourProfile(ByteView bytes, colour::ProfilePtr& out) {
    return withoutThrowing([&]() -> int {
        out.reset();
        std::vector<uint8_t> unused;
        return readColour(bytes, &out, unused);
    });
}

int readIccProfile(ByteView bytes, std::vector<uint8_t>& icc) {
    return withoutThrowing([&]() -> int {
        icc.clear();
        return readColour(bytes, nullptr, icc);
    });
}

} // namespace kamelo::imaging::jxlcodec

namespace kamelo::imaging::jxl {

colour::ProfilePtr pixelProfile(JxlDecoder* dec, const JxlBasicInfo& basic, size_t fileBytes) {
    std::vector<uint8_t> icc;
    bool described = false;
    if (jxlcodec::profileOfPixels(dec, basic, fileBytes, icc, &described) < 1 || icc.empty() ||
        !colour::scan::plausibleIcc(icc))
        return nullptr;
    return colour::IccProfile::fromBytes(std::move(icc),
                                         described ? colour::IccProfile::Origin::Described
                                                   : colour::IccProfile::Origin::Embedded);
}

} // namespace kamelo::imaging::jxl
