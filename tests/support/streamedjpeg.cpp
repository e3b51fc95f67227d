#include "streamedjpeg.h"

#include <cstdio>
#include <filesystem>
#include <jpeglib.h>
#include <vector>

namespace kamelo::test {

bool writeStreamedJpeg(const std::string& path, int width, int height, int quality,
                       const RgbRowMaker& row) {
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> rgb(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        row(y, rgb.data());
        JSAMPROW r = rgb.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const bool written = std::fflush(f) == 0 && !std::ferror(f);
    std::fclose(f);
    std::error_code ec;
    if (written)
        std::filesystem::rename(part, path, ec);
    if (!written || ec)
        std::filesystem::remove(part, ec);
    return written && !ec;
}

} // namespace kamelo::test
