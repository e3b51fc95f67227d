#include "jpegcodec.h"

#include "bitmap.h"
#include "core/filebytes.h"
#include "imaging/large/jpegsupport.h"
#include "memorybudget.h"
#include "plausibility.h"
#include "result.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

namespace kamelo::imaging::jpegcodec {

namespace {

using ErrorManager = large::JpegErrors;
using large::installErrors;

void readResolution(const jpeg_decompress_struct& cinfo, int& x, int& y) {
    x = y = 96;
    if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
        if (cinfo.density_unit == 1) {
            x = cinfo.X_density;
            y = cinfo.Y_density;
        } else if (cinfo.density_unit == 2) {
            x = static_cast<int>(cinfo.X_density * 2.54 + 0.5);
            y = static_cast<int>(cinfo.Y_density * 2.54 + 0.5);
        }
    }
}

struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    std::vector<uint8_t> cmykRow;
    std::vector<JSAMPROW> rows;

    ~Decoder() { jpeg_destroy_decompress(&cinfo); }

    // Reads the output pass into the bitmap band by band.
    int readPass(Bitmap& out, const LoadOptions& options, int pass) {
        const bool cmyk = cinfo.out_color_space == JCS_CMYK;
        const int band = options.bandRows > 0 ? options.bandRows : 16;
        while (cinfo.output_scanline < cinfo.output_height) {
            const int first = static_cast<int>(cinfo.output_scanline);
            int got = 0;
            if (cmyk) {
                JSAMPROW r = cmykRow.data();
                while (got < band && cinfo.output_scanline < cinfo.output_height) {
                    const int y = static_cast<int>(cinfo.output_scanline);
                    if (jpeg_read_scanlines(&cinfo, &r, 1) != 1)
                        return result::kCorruptData;
                    large::cmykRowToBgr(cmykRow.data(), out.row(y), out.width(),
                                        cinfo.saw_Adobe_marker);
                    ++got;
                }
            } else {
                const int want = std::min<int>(band, cinfo.output_height - first);
                for (int i = 0; i < want; ++i)
                    rows[i] = out.row(first + i);
                while (got < want) {
                    JDIMENSION n = jpeg_read_scanlines(&cinfo, rows.data() + got, want - got);
                    if (n == 0)
                        return result::kCorruptData;
                    got += static_cast<int>(n);
                }
            }
            if (options.onRows) {
                int rc = options.onRows(out, first, got, pass);
                if (rc < 1)
                    return rc;
            }
        }
        return result::kSuccess;
    }
};

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    installErrors(cinfo, err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return err.failure;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data, static_cast<unsigned long>(bytes.size));
    jpeg_read_header(&cinfo, TRUE);
    info.format = PictureFormat::Jpeg;
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    info.bitsPerPixel = cinfo.num_components * 8;
    info.compression = cinfo.progressive_mode ? "Progressive JPEG" : "JPEG";
    info.pageCount = 1;
    readResolution(cinfo, info.xResolution, info.yResolution);
    jpeg_destroy_decompress(&cinfo);
    if (info.width <= 0 || info.height <= 0)
        return result::kCorruptData;
    return result::kSuccess;
}

int scaledSide(int side, int denominator) {
    return denominator > 1 ? (side + denominator - 1) / denominator : side;
}

int scaleDenominatorFor(int width, int height, int shownWidth, int shownHeight) {
    if (width <= 0 || height <= 0 || shownWidth <= 0 || shownHeight <= 0)
        return 1;
    for (int denom : {8, 4, 2})
        if (scaledSide(width, denom) >= shownWidth && scaledSide(height, denom) >= shownHeight)
            return denom;
    return 1;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    Decoder d;
    installErrors(d.cinfo, d.err);
    if (setjmp(d.err.jump))
        return d.err.failure;
    jpeg_create_decompress(&d.cinfo);
    jpeg_mem_src(&d.cinfo, bytes.data, static_cast<unsigned long>(bytes.size));
    jpeg_read_header(&d.cinfo, TRUE);
    // Checked on the declared size, not the scaled one: a progressive
    // file keeps the coefficients of the whole picture whatever the scale.
    if (!plausibility::plausible(d.cinfo.image_width, d.cinfo.image_height, bytes.size,
                                 plausibility::kJpegPixelsPerByte))
        return result::kCorruptData;
    // Those coefficients are held whole: a progressive file whose picture
    // is real but too large for them is refused, not swapped to death.
    if (jpeg_has_multiple_scans(&d.cinfo) &&
        large::coefficientBytes(d.cinfo) > memorybudget::hugeBudget())
        return result::kTooLarge;

    const int denom = options.scaleDenominator;
    if (denom == 2 || denom == 4 || denom == 8) {
        d.cinfo.scale_num = 1;
        d.cinfo.scale_denom = static_cast<unsigned>(denom);
    }
    const bool cmyk = d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK;
    d.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&d.cinfo);
    if (int64_t(d.cinfo.output_width) * d.cinfo.output_height > kMaxPixels)
        return result::kTooLarge;

    const bool passes = options.reportPasses && options.onRows && jpeg_has_multiple_scans(&d.cinfo);
    d.cinfo.buffered_image = passes ? TRUE : FALSE;
    jpeg_start_decompress(&d.cinfo);

    // Every row is written by the decoder (a load that stops early is an error).
    // A spare picture of the same size lends its pages: they are in memory
    // already, where fresh ones would be faulted in one by one.
    const int outWidth = static_cast<int>(d.cinfo.output_width);
    const int outHeight = static_cast<int>(d.cinfo.output_height);
    int rc = result::kSuccess;
    if (options.reuse && options.reuse->width() == outWidth &&
        options.reuse->height() == outHeight) {
        out.swap(*options.reuse);
        out.setPalette({});
        options.reuse->free();
    } else {
        if (options.reuse)
            options.reuse->free(); // not this size: it would only add to the memory held
        rc = out.allocate(outWidth, outHeight);
    }
    if (rc != result::kSuccess)
        return rc;
    out.setSourceBitsPerPixel(d.cinfo.num_components * 8);
    int xr, yr;
    readResolution(d.cinfo, xr, yr);
    out.setResolution(xr, yr);
    d.cmykRow.resize(static_cast<size_t>(out.width()) * 4);
    d.rows.resize(static_cast<size_t>(std::max(1, options.bandRows)));

    if (passes) {
        int pass = 1;
        for (;;) {
            jpeg_start_output(&d.cinfo, d.cinfo.input_scan_number);
            const bool final = jpeg_input_complete(&d.cinfo) &&
                               d.cinfo.output_scan_number == d.cinfo.input_scan_number;
            rc = d.readPass(out, options, final ? 0 : pass++);
            if (rc < 1)
                return rc;
            jpeg_finish_output(&d.cinfo);
            if (final)
                break;
        }
    } else {
        rc = d.readPass(out, options, 0);
        if (rc < 1)
            return rc;
    }
    // Data that ran out before the last row is a damaged file; a missing end
    // marker after complete rows is not.
    const bool rowsMissing = d.err.sawEndOfFile;
    jpeg_finish_decompress(&d.cinfo);
    return rowsMissing ? result::kTruncated : result::kSuccess;
}

namespace {

// Compressed data goes straight into the caller's vector, grown by doubling
// with its new room faulted in at once; libjpeg's own memory destination
// would copy a 24-megapixel file a dozen times through fresh pages.
struct VectorDestination {
    jpeg_destination_mgr pub{};
    std::vector<uint8_t>* out = nullptr;
};

void grow(j_compress_ptr cinfo, size_t used) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    std::vector<uint8_t>& v = *d->out;
    bool grown = true;
    try {
        v.resize(used);
        reserveFaulted(v, std::max<size_t>(used * 2, size_t(64) << 10));
        v.resize(v.capacity());
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) // outside the handler: the error exit jumps away
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
    d->pub.next_output_byte = v.data() + used;
    d->pub.free_in_buffer = v.size() - used;
}

void initDestination(j_compress_ptr cinfo) {
    grow(cinfo, 0);
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    // Called with the whole buffer full, whatever free_in_buffer says.
    grow(cinfo, reinterpret_cast<VectorDestination*>(cinfo->dest)->out->size());
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->out->resize(d->out->size() - d->pub.free_in_buffer);
}

} // namespace

ChromaSampling samplingForQuality(int quality) {
    return quality >= 90 ? k444 : k420;
}

bool writable(ChromaSampling s) {
    return s.h >= 1 && s.h <= 4 && s.v >= 1 && s.v <= 4 && s.h * s.v + 2 <= C_MAX_BLOCKS_IN_MCU;
}

std::string samplingText(ChromaSampling s) {
    return std::to_string(s.h) + "x" + std::to_string(s.v);
}

namespace {

// Reads n bytes at offset into buf; false when the file has fewer.
using ReadAt = std::function<bool(uint64_t offset, size_t n, uint8_t* buf)>;

bool isFrameHeader(uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

struct Collect {
    const std::vector<int>* markers = nullptr;
    std::vector<Segment>* segments = nullptr;
};

int walkToFrame(const ReadAt& read, ChromaSampling& out, const Collect& collect = {}) {
    size_t collected = 0;
    uint8_t b[2];
    if (!read(0, 2, b) || b[0] != 0xFF || b[1] != 0xD8)
        return result::kCorruptData;
    uint64_t at = 2;
    // Real files have a few dozen segments before the frame header.
    for (int segments = 0; segments < 4096; ++segments) {
        uint8_t m[4];
        if (!read(at, 2, m) || m[0] != 0xFF)
            return result::kCorruptData;
        if (m[1] == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (m[1] == 0x01 || (m[1] >= 0xD0 && m[1] <= 0xD7)) { // no length
            at += 2;
            continue;
        }
        if (m[1] == 0xDA || m[1] == 0xD9)
            return result::kCorruptData; // scan or end before any frame
        if (!read(at + 2, 2, m + 2))
            return result::kCorruptData;
        const size_t length = size_t(m[2]) << 8 | m[3];
        if (length < 2)
            return result::kCorruptData;
        if (!isFrameHeader(m[1])) {
            if (collect.segments && collected + length <= (16u << 20) &&
                std::find(collect.markers->begin(), collect.markers->end(), int(m[1])) !=
                    collect.markers->end()) {
                Segment segment{m[1], std::vector<uint8_t>(length - 2)};
                if (!read(at + 4, segment.data.size(), segment.data.data()))
                    return result::kCorruptData;
                collected += length;
                collect.segments->push_back(std::move(segment));
            }
            at += 2 + length;
            continue;
        }
        uint8_t frame[6 + 3 * 4];
        if (length < 8 || !read(at + 4, std::min<size_t>(sizeof frame, length - 2), frame))
            return result::kCorruptData;
        const int components = frame[5];
        if (components != 3 || length < 8 + 3 * 3)
            return result::kUnsupported;
        const int h = frame[6 + 1] >> 4, v = frame[6 + 1] & 15;
        for (int c = 1; c < 3; ++c)
            if (frame[6 + 3 * c + 1] != 0x11)
                return result::kUnsupported;
        const ChromaSampling found{h, v};
        if (!writable(found))
            return result::kUnsupported;
        out = found;
        return result::kSuccess;
    }
    return result::kCorruptData;
}

} // namespace

int readSampling(ByteView bytes, ChromaSampling& out) {
    return walkToFrame(
        [&](uint64_t offset, size_t n, uint8_t* buf) {
            if (offset > bytes.size || n > bytes.size - offset)
                return false;
            std::memcpy(buf, bytes.data + offset, n);
            return true;
        },
        out);
}

int readSampling(int fd, ChromaSampling& out) {
    std::vector<Segment> none;
    return readSampling(fd, out, {}, none);
}

int readSampling(int fd, ChromaSampling& out, const std::vector<int>& markers,
                 std::vector<Segment>& segments) {
    return walkToFrame(
        [fd](uint64_t offset, size_t n, uint8_t* buf) {
            return ::pread(fd, buf, n, off_t(offset)) == ssize_t(n);
        },
        out, Collect{&markers, &segments});
}

int encode(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out,
           const std::vector<uint8_t>* app1) {
    std::vector<Segment> segments;
    if (app1 && !app1->empty())
        segments.push_back({JPEG_APP0 + 1, *app1});
    return encode(bitmap, quality, samplingForQuality(quality), segments, out);
}

int encode(const Bitmap& bitmap, int quality, ChromaSampling sampling,
           const std::vector<Segment>& segments, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    for (const Segment& s : segments)
        if (s.data.size() > 65533 || s.marker < JPEG_APP0 || s.marker > JPEG_COM)
            return result::kInvalidParameter;
    if (!writable(sampling))
        sampling = k420;
    jpeg_compress_struct cinfo{};
    ErrorManager err;
    cinfo.err = large::errors(err);
    out.clear();
    VectorDestination dest;
    dest.out = &out;
    dest.pub.init_destination = initDestination;
    dest.pub.empty_output_buffer = emptyOutputBuffer;
    dest.pub.term_destination = termDestination;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        out.clear();
        return result::kFileWrite;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = &dest.pub;
    cinfo.image_width = static_cast<JDIMENSION>(bitmap.width());
    cinfo.image_height = static_cast<JDIMENSION>(bitmap.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(quality, 0, 100), TRUE);
    cinfo.comp_info[0].h_samp_factor = sampling.h;
    cinfo.comp_info[0].v_samp_factor = sampling.v;
    for (int c = 1; c < 3; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    cinfo.density_unit = 1;
    cinfo.X_density = static_cast<UINT16>(std::clamp(bitmap.xResolution(), 1, 65535));
    cinfo.Y_density = static_cast<UINT16>(std::clamp(bitmap.yResolution(), 1, 65535));
    jpeg_start_compress(&cinfo, TRUE);
    for (const Segment& s : segments)
        jpeg_write_marker(&cinfo, s.marker, s.data.data(), static_cast<unsigned>(s.data.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = const_cast<JSAMPROW>(bitmap.row(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return result::kSuccess;
}

} // namespace kamelo::imaging::jpegcodec
