#include "hostilepictures.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <jpeglib.h>

namespace kamelo::test {

namespace {

void le16(Bytes& b, int v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void be16(Bytes& b, int v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

Bytes encodeJpeg(int width, int height, bool progressive) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(width), 0);
    uint32_t seed = 7;
    while (cinfo.next_scanline < cinfo.image_height) {
        for (uint8_t& v : row) {
            seed = seed * 1664525u + 1013904223u;
            v = uint8_t(seed >> 24);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

size_t findMarker(const Bytes& b, uint8_t a, uint8_t alt) {
    for (size_t i = 2; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == a || b[i + 1] == alt))
            return i;
    return b.size();
}

} // namespace

Bytes gifOnScreen(int screenW, int screenH, int frames) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    le16(b, screenW);
    le16(b, screenH);
    b.insert(b.end(), {0x80, 0, 0});                // two-colour global table
    b.insert(b.end(), {0, 0, 0, 0xFF, 0xFF, 0xFF}); // black, white
    if (frames > 1) {
        const char* loop = "NETSCAPE2.0";
        b.insert(b.end(), {0x21, 0xFF, 0x0B});
        b.insert(b.end(), loop, loop + 11);
        b.insert(b.end(), {3, 1, 0, 0, 0});
    }
    for (int i = 0; i < frames; ++i) {
        b.insert(b.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0}); // 0.1 s, keep
        b.push_back(0x2C);
        le16(b, i % screenW);
        le16(b, 0);
        le16(b, 1);
        le16(b, 1);
        b.push_back(0);
        // LZW, 2-bit minimum code size: clear, index 0, end of information.
        b.insert(b.end(), {2, 2, 0x44, 0x01, 0});
    }
    b.push_back(0x3B);
    return b;
}

Bytes jpegDeclaring(int width, int height, bool progressive, int realW, int realH) {
    Bytes b = encodeJpeg(realW, realH, progressive);
    const size_t sof = findMarker(b, 0xC0, 0xC2);
    b[sof + 5] = uint8_t(height >> 8);
    b[sof + 6] = uint8_t(height);
    b[sof + 7] = uint8_t(width >> 8);
    b[sof + 8] = uint8_t(width);
    return b;
}

Bytes jpegCutBeforeEoi(int width, int height, bool progressive, int keepPercent) {
    Bytes b = encodeJpeg(width, height, progressive);
    const size_t sos = findMarker(b, 0xDA, 0xDA);
    const size_t keep = sos + (b.size() - sos) * size_t(keepPercent) / 100;
    b.resize(keep);
    if (b.back() == 0xFF)
        b.pop_back();
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

Bytes emfWithBounds(int32_t right, int32_t bottom) {
    Bytes b;
    le32(b, 1);  // header record
    le32(b, 88); // its size
    for (int32_t v : {0, 0, right, bottom})
        le32(b, uint32_t(v)); // bounds in device pixels
    for (int32_t v : {0, 0, 2000, 2000})
        le32(b, uint32_t(v)); // frame in 0.01 mm
    le32(b, 0x464D4520);      // " EMF"
    le32(b, 0x10000);         // version
    le32(b, 88 + 20);         // file bytes
    le32(b, 2);               // records
    le32(b, 1);               // handles (and reserved)
    le32(b, 0);               // description
    le32(b, 0);
    le32(b, 0); // palette entries
    for (int32_t v : {1920, 1080, 508, 286})
        le32(b, uint32_t(v)); // device pixels, millimetres
    le32(b, 14);              // end of file record
    le32(b, 20);
    le32(b, 0);
    le32(b, 16);
    le32(b, 20);
    return b;
}

Bytes sgiWithChannels(int channels) {
    Bytes b;
    be16(b, 474);
    b.push_back(0); // not run-length
    b.push_back(1); // one byte per sample
    be16(b, 3);     // three dimensions
    be16(b, 1);
    be16(b, 1);
    be16(b, channels);
    b.resize(512 + size_t(channels), 0x80);
    return b;
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace kamelo::test
