#include "webpsamples.h"

#include "tests/support/scratchdir.h"

#include <cstdlib>

namespace kamelo::test::webp {

bool run(const std::string& command, std::string& error) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0 && error.empty())
        error = "failed (" + std::to_string(status) + "): " + command;
    return status == 0;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string s = readFile(path);
    return {s.begin(), s.end()};
}

void writePicture(const std::string& path, int width, int height, bool alpha,
                  const std::function<uint32_t(int, int)>& argb) {
    std::string data =
        alpha ? "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
                    "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
              : "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = argb(x, y);
            data += char(c >> 16);
            data += char(c >> 8);
            data += char(c);
            if (alpha)
                data += char(c >> 24);
        }
    writeFile(path, data);
}

namespace {

Samples make() {
    static ScratchDir scratch;
    Samples s;
    s.dir = scratch.path();
    auto f = [&](const char* name) { return scratch.file(name); };
    for (const char* tool : {"cwebp", "img2webp", "webpmux", "exiftool"})
        if (!run(std::string("command -v ") + tool, s.error)) {
            s.error = std::string("missing tool ") + tool + " (package webp / exiftool)";
            return s;
        }
    writePicture(f("halves.ppm"), 64, 48, false,
                 [](int x, int) { return x < 32 ? 0xC03020u : 0x2060A0u; });
    writePicture(f("gradient.ppm"), 301, 203, false, [](int x, int y) {
        return uint32_t(x & 255) << 16 | uint32_t(y & 255) << 8 | 128;
    });
    writePicture(f("alpha.pam"), 40, 30, true,
                 [](int x, int) { return x < 20 ? 0xFF00FF00u : 0x00123456u; });
    // Red; a blue square at 8..15; a green square at 16..23 x 4..11 on red.
    writePicture(f("f1.ppm"), 32, 24, false, [](int, int) { return 0xFF0000u; });
    writePicture(f("f2.ppm"), 32, 24, false, [](int x, int y) {
        return x >= 8 && x < 16 && y >= 8 && y < 16 ? 0x0000FFu : 0xFF0000u;
    });
    writePicture(f("f3.ppm"), 32, 24, false, [](int x, int y) {
        return x >= 16 && x < 24 && y >= 4 && y < 12 ? 0x00FF00u : 0xFF0000u;
    });
    s.halvesLossless = f("halves-lossless.webp");
    s.halvesLossy = f("halves-lossy.webp");
    s.gradientLossless = f("gradient-lossless.webp");
    s.gradientLossy = f("gradient-lossy.webp");
    s.alpha = f("alpha.webp");
    s.animation = f("animation.webp");
    s.disposing = f("disposing.webp");
    s.flashes = f("flashes.webp");
    s.withExif = f("exif.webp");
    const std::string q = " -quiet ";
    run("cwebp" + q + "-lossless " + f("halves.ppm") + " -o " + s.halvesLossless, s.error);
    run("cwebp" + q + "-q 95 " + f("halves.ppm") + " -o " + s.halvesLossy, s.error);
    run("cwebp" + q + "-lossless " + f("gradient.ppm") + " -o " + s.gradientLossless, s.error);
    run("cwebp" + q + "-q 80 " + f("gradient.ppm") + " -o " + s.gradientLossy, s.error);
    run("cwebp" + q + "-lossless " + f("alpha.pam") + " -o " + s.alpha, s.error);
    run("img2webp -loop 3 -lossless -d 100 " + f("f1.ppm") + " -d 250 " + f("f2.ppm") + " -d 70 " +
            f("f3.ppm") + " -o " + s.animation,
        s.error);
    writePicture(f("blue.ppm"), 32, 24, false, [](int, int) { return 0x0000FFu; });
    writePicture(f("green.ppm"), 32, 24, false, [](int, int) { return 0x00FF00u; });
    run("img2webp -lossless -d 40 " + f("f1.ppm") + " " + f("blue.ppm") + " " + f("green.ppm") +
            " -o " + s.flashes,
        s.error);
    writePicture(f("blue8.ppm"), 8, 8, false, [](int, int) { return 0x0000FFu; });
    writePicture(f("green8.ppm"), 8, 8, false, [](int, int) { return 0x00FF00u; });
    for (const char* name : {"f1", "blue8", "green8"})
        run("cwebp" + q + "-lossless " + f(name) + ".ppm -o " + f(name) + ".webp", s.error);
    run("webpmux -frame " + f("f1.webp") + " +100+0+0+0 -frame " + f("blue8.webp") +
            " +250+8+8+1 -frame " + f("green8.webp") + " +70+16+4+0 -loop 3 -o " + s.disposing,
        s.error);
    run("cp " + s.halvesLossy + " " + s.withExif, s.error);
    run("exiftool -q -overwrite_original -n -Orientation=6 -Make=Kamelo -Model=WebPTest "
        "'-DateTimeOriginal=2024:05:06 07:08:09' -ExposureTime=0.008 " +
            s.withExif,
        s.error);
    return s;
}

} // namespace

const Samples& samples() {
    static const Samples s = make();
    return s;
}

} // namespace kamelo::test::webp
