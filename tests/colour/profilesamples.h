#pragma once

// Samples for the colour profile reader tests: profiles made with lcms2, the
// pieces of files written byte by byte, and a scratch folder in which Debian
// tools make the rest.

#include "imaging/core/filebytes.h"
#include "tests/support/colourpictures.h"
#include "tests/support/metadatadump.h"
#include "tests/support/scratchdir.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace kamelo::test::profiles {

using Bytes = std::vector<uint8_t>;

// ---- Profiles -------------------------------------------------------------

// Each made once, so that a sample and its expectation hold the same bytes.
Bytes p3();
Bytes adobeRgb();
Bytes proPhoto();
// Display P3 with a large private tag: more than one APP2 segment holds.
Bytes bigP3();
// sRGB's primaries with a pure 1.8 curve: what a lone gAMA chunk describes.
Bytes gamma18();
Bytes noise(size_t n, uint32_t seed);

// ---- Samples written by code ----------------------------------------------

Bytes exifPayload(bool little, uint16_t colourSpace, const char* index);
Bytes editChunks(Bytes jpeg, const std::function<bool(int, uint8_t&, uint8_t&)>& edit);
Bytes pngChunk(const char* type, const Bytes& body);
Bytes be32s(std::initializer_list<uint32_t> values);
Bytes iccpBody(const Bytes& content);
Bytes patched(Bytes b, const Bytes& marker, size_t after, const Bytes& value);

// ---- The scratch folder and the tools --------------------------------------

struct Lab {
    ScratchDir dir;

    std::string put(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.file(name);
        kamelo::testing::colour::writeBytes(path, bytes);
        return path;
    }
    Bytes get(const std::string& name) {
        Bytes b;
        if (imaging::readWholeFile(dir.file(name), b) < 1)
            throw std::runtime_error("no " + name);
        return b;
    }
    // Runs a Debian tool in the folder; a missing tool fails the row.
    void run(const char* tool, const std::string& args) {
        if (!haveTool(tool))
            throw std::runtime_error(std::string(tool) + " is not installed");
        const std::string cmd =
            "cd " + quoted(dir.path()) + " && " + tool + " " + args + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            throw std::runtime_error("failed: " + cmd);
    }
    // An 8x8 PNG of one colour with no colour chunks, and a P3-tagged one.
    std::string plainPng() {
        run("convert", "-size 8x8 xc:'#E03020' -define png:exclude-chunks=all PNG24:plain.png");
        return dir.file("plain.png");
    }
    std::string p3Png() {
        put("p3.icc", p3());
        plainPng();
        run("convert", "plain.png -profile p3.icc -define png:exclude-chunks=gAMA,cHRM,sRGB "
                       "PNG24:p3.png");
        return dir.file("p3.png");
    }
    // plain.png with chunks put after IHDR.
    std::string pngWith(const std::vector<Bytes>& chunks) {
        plainPng();
        Bytes png = get("plain.png");
        const size_t afterHeader = 8 + 12 + 13;
        Bytes extra;
        for (const Bytes& c : chunks)
            extra.insert(extra.end(), c.begin(), c.end());
        png.insert(png.begin() + long(afterHeader), extra.begin(), extra.end());
        return put("chunks.png", png);
    }
};

} // namespace kamelo::test::profiles
