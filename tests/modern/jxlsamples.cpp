#include "jxlsamples.h"

#include "tests/support/scratchdir.h"

#include <jxl/encode.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kamelo::test::jxl {
namespace {

bool run(const std::string& command, std::string& error) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (status != 0 && error.empty())
        error = "failed (" + std::to_string(status) + "): " + command;
    return status == 0;
}

Samples make() {
    static ScratchDir scratch;
    Samples s;
    for (const char* tool : {"cjxl", "convert", "exiftool"})
        if (!run(std::string("command -v ") + tool, s.error)) {
            s.error = std::string("missing tool ") + tool +
                      " (packages libjxl-tools, imagemagick, libimage-exiftool-perl)";
            return s;
        }
    auto f = [&](const char* name) { return scratch.file(name); };
    s.halves = f("halves.jxl");
    s.grey = f("grey.jxl");
    s.alpha = f("alpha.jxl");
    s.greyAlpha = f("greyalpha.jxl");
    s.photoJpeg = f("photo.jpg");
    s.photo = f("photo.jxl");
    s.tagged = f("tagged.jxl");
    s.animation = f("animation.jxl");
    s.noise = f("noise.jxl");
    s.flat = f("flat.jxl");
    const std::string lossless = "cjxl -d 0 -e 3 ";
    run("convert -size 64x48 xc:'#2060A0' -fill '#C03020' -draw 'rectangle 0,0 31,47' " +
            f("halves.png"),
        s.error);
    run(lossless + f("halves.png") + " " + s.halves, s.error);
    run("convert -size 40x30 xc:'#4D4D4D' -colorspace Gray -depth 8 " + f("grey.png"), s.error);
    run(lossless + f("grey.png") + " " + s.grey, s.error);
    run("convert -size 40x30 xc:none -fill '#00FF00' -draw 'rectangle 0,0 19,29' " + f("alpha.png"),
        s.error);
    run(lossless + f("alpha.png") + " " + s.alpha, s.error);
    run("convert " + f("alpha.png") + " -fill '#4D4D4D' -opaque '#00FF00' -type GrayscaleAlpha " +
            f("greyalpha.png"),
        s.error);
    run(lossless + f("greyalpha.png") + " " + s.greyAlpha, s.error);
    run("convert -size 64x48 xc:'#C03020' -quality 95 " + s.photoJpeg, s.error);
    run("exiftool -q -overwrite_original -n -Orientation=6 -Make=Kamelo -Model=JxlTest "
        "'-DateTimeOriginal=2024:05:06 07:08:09' -ExposureTime=0.008 " +
            s.photoJpeg,
        s.error);
    // A JPEG is recompressed losslessly, its EXIF kept in a (Brotli) box.
    run("cjxl " + s.photoJpeg + " " + s.photo, s.error);
    run("cp " + s.halves + " " + s.tagged, s.error);
    // -m: a bare codestream is wrapped in a container to take the box.
    run("exiftool -m -q -overwrite_original -Make=RawBox -Model=M2 "
        "'-DateTimeOriginal=2023:01:02 03:04:05' -ExposureTime=0.5 " +
            s.tagged,
        s.error);
    run("convert -loop 3 -delay 20 -size 32x24 xc:red -delay 50 xc:lime -delay 100 xc:blue " +
            f("animation.gif"),
        s.error);
    run(lossless + f("animation.gif") + " " + s.animation, s.error);
    run("convert -size 400x300 plasma:red-blue -depth 8 " + f("noise.png"), s.error);
    run("cjxl -d 0 -e 1 " + f("noise.png") + " " + s.noise, s.error);
    run("convert -size 3000x2000 xc:white " + f("flat.png"), s.error);
    run("cjxl -d 0 -e 2 -g 3 " + f("flat.png") + " " + s.flat, s.error);
    return s;
}

} // namespace

std::vector<uint8_t> encodedAnimation() {
    std::vector<uint8_t> out;
    JxlEncoder* enc = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = 16;
    info.ysize = 8;
    info.bits_per_sample = 8;
    info.uses_original_profile = JXL_TRUE;
    info.have_animation = JXL_TRUE;
    info.animation = {kEncodedTps[0], kEncodedTps[1], kEncodedLoops, JXL_FALSE};
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlEncoderFrameSettings* frame = JxlEncoderFrameSettingsCreate(enc, nullptr);
    bool ok = JxlEncoderSetBasicInfo(enc, &info) == JXL_ENC_SUCCESS &&
              JxlEncoderSetColorEncoding(enc, &srgb) == JXL_ENC_SUCCESS &&
              JxlEncoderSetFrameLossless(frame, JXL_TRUE) == JXL_ENC_SUCCESS;
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (int i = 0; i < 2 && ok; ++i) {
        JxlFrameHeader header;
        JxlEncoderInitFrameHeader(&header);
        header.duration = kEncodedTicks[i];
        std::vector<uint8_t> rgb;
        for (int p = 0; p < 16 * 8; ++p)
            rgb.insert(rgb.end(), {uint8_t(i == 0 ? 255 : 0), 0, uint8_t(i == 0 ? 0 : 255)});
        ok = JxlEncoderSetFrameHeader(frame, &header) == JXL_ENC_SUCCESS &&
             JxlEncoderAddImageFrame(frame, &format, rgb.data(), rgb.size()) == JXL_ENC_SUCCESS;
    }
    JxlEncoderCloseInput(enc);
    JxlEncoderStatus st = ok ? JXL_ENC_NEED_MORE_OUTPUT : JXL_ENC_ERROR;
    while (st == JXL_ENC_NEED_MORE_OUTPUT) {
        const size_t used = out.size();
        out.resize(used + 4096);
        uint8_t* next = out.data() + used;
        size_t room = 4096;
        st = JxlEncoderProcessOutput(enc, &next, &room);
        out.resize(out.size() - room);
    }
    JxlEncoderDestroy(enc);
    if (st != JXL_ENC_SUCCESS)
        out.clear();
    return out;
}

const Samples& samples() {
    static const Samples s = make();
    return s;
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

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string s = readFile(path);
    return {s.begin(), s.end()};
}

} // namespace kamelo::test::jxl
