#include "heifsamples.h"

#include "tests/support/scratchdir.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kamelo::test::heif {

bool run(const std::string& command, std::string& error) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0 && error.empty())
        error = "failed (" + std::to_string(status) + "): " + command;
    return status == 0;
}

std::string output(const std::string& command) {
    std::string text;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return text;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0)
        text.append(buf.data(), n);
    return text;
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string s = readFile(path);
    return {s.begin(), s.end()};
}

int channelDistance(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        most = d > most ? d : most;
    }
    return most;
}

uint32_t quarterColour(int x, int y, int width, int height) {
    const bool right = x >= width / 2, bottom = y >= height / 2;
    return bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
}

namespace {

std::string hex(uint32_t rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "'#%06X'", rgb);
    return text;
}

Samples make() {
    static ScratchDir scratch;
    Samples s;
    s.dir = scratch.path();
    auto at = [&](const char* name) { return scratch.file(name); };
    for (const char* tool : {"convert", "heif-enc", "avifenc", "exiftool"})
        if (!run(std::string("command -v ") + tool, s.error)) {
            s.error = std::string("missing tool: ") + tool;
            return s;
        }
    const std::string h = std::to_string(kSide / 2 - 1), f = std::to_string(kSide - 1);
    s.picture = at("quarters.png");
    run("convert -size " + std::to_string(kSide) + "x" + std::to_string(kSide) +
            " xc:" + hex(kTopLeft) + " -fill " + hex(kTopRight) + " -draw 'rectangle " +
            std::to_string(kSide / 2) + ",0 " + f + "," + h + "' -fill " + hex(kBottomLeft) +
            " -draw 'rectangle 0," + std::to_string(kSide / 2) + " " + h + "," + f + "' -fill " +
            hex(kBottomRight) + " -draw 'rectangle " + std::to_string(kSide / 2) + "," +
            std::to_string(kSide / 2) + " " + f + "," + f + "' PNG24:" + quote(s.picture),
        s.error);
    const std::string losslessHeic = "heif-enc --lossless -p chroma=444 --matrix_coefficients=0 ";
    s.heicLossless = at("lossless.heic");
    run(losslessHeic + quote(s.picture) + " -o " + quote(s.heicLossless), s.error);
    s.avifLossless = at("lossless.avif");
    run("avifenc -l " + quote(s.picture) + " " + quote(s.avifLossless), s.error);
    s.avifGrid = at("grid.avif");
    run("avifenc -l -g 2x2 " + quote(s.picture) + " " + quote(s.avifGrid), s.error);
    const std::string deep = at("deep.png");
    s.heic10 = at("deep.heic");
    run("convert " + quote(s.picture) + " -depth 16 PNG48:" + quote(deep), s.error);
    run(losslessHeic + "-b 10 " + quote(deep) + " -o " + quote(s.heic10), s.error);
    const std::string alpha = at("alpha.png");
    s.avifAlpha = at("alpha.avif");
    run("convert -size 64x48 xc:" + hex(kTopLeft) +
            " \\( -size 32x48 xc:none \\) -geometry +32+0 -compose copy -composite PNG32:" +
            quote(alpha),
        s.error);
    run("avifenc -l " + quote(alpha) + " " + quote(s.avifAlpha), s.error);
    const std::string half = at("half.png");
    s.avifHalf = at("half.avif");
    s.avifHalfPremultiplied = at("premultiplied.avif");
    run("convert -size 16x16 xc:" + quote(kHalf) + " PNG32:" + quote(half), s.error);
    run("avifenc -l " + quote(half) + " " + quote(s.avifHalf), s.error);
    run("avifenc -l --premultiply " + quote(half) + " " + quote(s.avifHalfPremultiplied), s.error);
    s.heicThumb = at("thumb.heic");
    run("heif-enc -q 90 -t 32 " + quote(s.picture) + " -o " + quote(s.heicThumb), s.error);
    const std::string tags =
        std::string(" -q -overwrite_original -Orientation#=6 -Make=") + quote(kMake) +
        " -Model=" + quote(kModel) + " -DateTimeOriginal=" + quote(kDate) +
        " -ExposureTime=" + quote(kExposure) + " -XMP-dc:Title=" + quote(kTitle) + " ";
    s.heicExif = at("exif.heic");
    s.avifExif = at("exif.avif");
    run("cp " + quote(s.heicLossless) + " " + quote(s.heicExif), s.error);
    run("cp " + quote(s.avifLossless) + " " + quote(s.avifExif), s.error);
    run("exiftool" + tags + quote(s.heicExif), s.error);
    run("exiftool" + tags + quote(s.avifExif), s.error);
    return s;
}

} // namespace

const Samples& samples() {
    static const Samples s = make();
    return s;
}

} // namespace kamelo::test::heif
