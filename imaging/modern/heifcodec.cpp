#include "heifcodec.h"

#include "heifboxes.h"
#include "heiflib.h"

#include "imaging/colour/profilescan.h"
#include "imaging/result.h"

#include <algorithm>
#include <cstring>

namespace kamelo::imaging::heifcodec {

namespace {

using namespace heiflib;

// Metadata blocks larger than this are not a photo's (a compressed XMP
// packet may grow beyond the file when it is unpacked).
constexpr size_t kMaxMetadataBytes = size_t(16) << 20;
// Thumbnails looked at per picture; files hold one, rarely two.
constexpr int kMaxThumbnails = 16;

int openPrimary(ByteView bytes, Context& context, Handle& handle) {
    // libheif sizes its buffers by the item locations before reading them:
    // any outside the file are refused first.
    if (const int rc = heifboxes::checkExtents(bytes); rc < 1)
        return rc;
    if (const int rc = open(bytes, context); rc < 1)
        return rc;
    return primary(context.get(), handle);
}

bool isAvif(const heifboxes::Facts& facts) {
    if (facts.primaryType == heifboxes::fourcc("av01"))
        return true;
    if (facts.primaryType == heifboxes::fourcc("hvc1"))
        return false;
    return facts.avifBrand && !facts.heicBrand;
}

int metadataBlock(const heif_image_handle* handle, heif_item_id id, size_t limit,
                  std::vector<uint8_t>& out) {
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size == 0 || size > limit)
        return result::kCorruptData;
    out.resize(size);
    return codeOf(heif_image_handle_get_metadata(handle, id, out.data()));
}

// The TIFF structure inside a HEIF Exif item: after a four-byte offset to
// its header, from the byte-order mark on. Writers that got the offset wrong
// are forgiven by looking for the mark near the start.
bool exifFromItem(const std::vector<uint8_t>& item, std::vector<uint8_t>& exif) {
    auto isMark = [&](size_t at) {
        return item.size() - at >= 8 && ((item[at] == 'I' && item[at + 1] == 'I' &&
                                          item[at + 2] == 42 && item[at + 3] == 0) ||
                                         (item[at] == 'M' && item[at + 1] == 'M' &&
                                          item[at + 2] == 0 && item[at + 3] == 42));
    };
    if (item.size() < 12)
        return false;
    const uint64_t offset =
        uint64_t(item[0]) << 24 | uint64_t(item[1]) << 16 | uint64_t(item[2]) << 8 | item[3];
    constexpr size_t kNone = size_t(-1);
    size_t start = kNone;
    if (offset <= item.size() - 4 && isMark(size_t(4 + offset)))
        start = size_t(4 + offset);
    const size_t end = std::min<size_t>(item.size(), 64);
    for (size_t at = 0; at < end && start == kNone; ++at)
        if (isMark(at))
            start = at;
    if (start == kNone)
        return false;
    exif.assign(item.begin() + static_cast<std::ptrdiff_t>(start), item.end());
    return true;
}

// The colour box of an image: an ICC profile as stored, or nclx values
// (primaries and transfer; libheif applies the matrix itself).
colour::ProfilePtr profileOf(const heif_image_handle* handle, size_t fileBytes) {
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        // The box holds the profile as it is: one larger than the file was
        // not read from it.
        if (size == 0 || size > fileBytes || size > colour::IccProfile::kMaxBytes)
            return nullptr;
        std::vector<uint8_t> icc(size);
        if (codeOf(heif_image_handle_get_raw_color_profile(handle, icc.data())) < 1 ||
            !colour::scan::plausibleIcc(icc))
            return nullptr;
        return colour::IccProfile::fromBytes(std::move(icc));
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
            return nullptr;
        const int primaries = int(nclx->color_primaries);
        const int transfer = int(nclx->transfer_characteristics);
        heif_nclx_color_profile_free(nclx);
        // BT.709 primaries with the sRGB curve (or none stated) are sRGB.
        constexpr int kBt709 = 1, kUnspecified = 2, kSrgbCurve = 13;
        if ((primaries == kBt709 || primaries == kUnspecified) &&
            (transfer == kSrgbCurve || transfer == kUnspecified))
            return nullptr;
        return colour::IccProfile::fromCicp(primaries, transfer);
    }
    default:
        return nullptr;
    }
}

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    return withoutThrowing([&]() -> int {
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1)
            return rc;
        int width = 0, height = 0;
        storedSize(handle.get(), width, height);
        if (width <= 0 || height <= 0)
            return result::kCorruptData;
        const int luma = std::max(heif_image_handle_get_luma_bits_per_pixel(handle.get()), 8);
        const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
        const heifboxes::Facts facts = heifboxes::factsOf(bytes);
        const bool cropped = fits(facts.crop, width, height);
        info.width = cropped ? facts.crop.width : width;
        info.height = cropped ? facts.crop.height : height;
        info.bitsPerPixel = luma * (alpha ? 4 : 3);
        info.compression = isAvif(facts) ? "AVIF" : "HEIF";
        info.pageCount = 1;
        return result::kSuccess;
    });
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1) {
            out.free();
            return rc;
        }
        // Known before the pixels, so that bands arrive with it.
        return heiflib::decode(handle.get(), bytes.size, options, out,
                               heifboxes::factsOf(bytes).crop, profileOf(handle.get(), bytes.size));
    });
}

int readOrientation(const std::string& path) {
    return withoutThrowing([&]() -> int {
        heifboxes::Facts facts;
        if (heifboxes::readFacts(path, facts) < 1)
            return 1;
        return facts.orientation;
    });
}

int readStamp(ByteView bytes, Bitmap& out) {
    return withoutThrowing([&]() -> int {
        out.free();
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1)
            return rc;
        const int count =
            std::min(heif_image_handle_get_number_of_thumbnails(handle.get()), kMaxThumbnails);
        if (count <= 0)
            return result::kNoStamp;
        heif_item_id ids[kMaxThumbnails] = {};
        const int listed = heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), ids, count);
        Handle best;
        int64_t bestPixels = 0;
        for (int i = 0; i < listed; ++i) {
            heif_image_handle* raw = nullptr;
            if (heif_image_handle_get_thumbnail(handle.get(), ids[i], &raw).code != heif_error_Ok)
                continue;
            Handle thumb(raw);
            int w = 0, h = 0;
            storedSize(thumb.get(), w, h);
            if (w > 0 && h > 0 && int64_t(w) * h > bestPixels) {
                bestPixels = int64_t(w) * h;
                best = std::move(thumb);
            }
        }
        if (!best)
            return result::kNoStamp;
        return heiflib::decode(best.get(), bytes.size, LoadOptions{}, out);
    });
}

int readMetadata(ByteView bytes, std::vector<uint8_t>& exif, std::string& xmp) {
    return withoutThrowing([&]() -> int {
        exif.clear();
        xmp.clear();
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1)
            return rc;
        const int count = heif_image_handle_get_number_of_metadata_blocks(handle.get(), nullptr);
        if (count <= 0)
            return result::kSuccess;
        // Each block is an item of the file, so the file bounds their number.
        if (size_t(count) > bytes.size / 8)
            return result::kCorruptData;
        std::vector<heif_item_id> ids(static_cast<size_t>(count));
        const int listed = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), nullptr,
                                                                            ids.data(), count);
        std::vector<uint8_t> block;
        for (int i = 0; i < listed; ++i) {
            const char* type = heif_image_handle_get_metadata_type(handle.get(), ids[i]);
            const char* content = heif_image_handle_get_metadata_content_type(handle.get(), ids[i]);
            if (exif.empty() && type && std::strcmp(type, "Exif") == 0) {
                if (metadataBlock(handle.get(), ids[i], std::min(bytes.size, kMaxMetadataBytes),
                                  block) >= 1)
                    exifFromItem(block, exif);
            } else if (xmp.empty() && type && std::strcmp(type, "mime") == 0 && content &&
                       std::strcmp(content, "application/rdf+xml") == 0) {
                if (metadataBlock(handle.get(), ids[i], kMaxMetadataBytes, block) >= 1)
                    xmp.assign(block.begin(), block.end());
            }
        }
        return result::kSuccess;
    });
}

int readIccProfile(ByteView bytes, std::vector<uint8_t>& icc) {
    return withoutThrowing([&]() -> int {
        icc.clear();
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1)
            return rc;
        const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle.get());
        if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC)
            return result::kSuccess;
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle.get());
        // The colour box holds the profile as it is: one larger than the
        // file, or too short for an ICC header, was not read from it.
        constexpr size_t kIccHeaderBytes = 128;
        if (size < kIccHeaderBytes || size > bytes.size)
            return result::kCorruptData;
        icc.resize(size);
        const int rc = codeOf(heif_image_handle_get_raw_color_profile(handle.get(), icc.data()));
        if (rc < 1)
            icc.clear();
        return rc;
    });
}

int readColourProfile(ByteView bytes, colour::ProfilePtr& out) {
    return withoutThrowing([&]() -> int {
        out.reset();
        Context context;
        Handle handle;
        if (const int rc = openPrimary(bytes, context, handle); rc < 1)
            return rc;
        out = profileOf(handle.get(), bytes.size);
        return result::kSuccess;
    });
}

} // namespace kamelo::imaging::heifcodec
