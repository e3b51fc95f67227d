#pragma once

#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kamelo::test {

// A memory card in a scratch folder, built from the shared camera samples:
//   DCIM/100CANON/IMG_0001.JPG  orientation 3 (Apple iPhone 5)
//   DCIM/100CANON/IMG_0002.JPG  orientation 1 (Canon 40D, 2008:05:30 15:56:01)
//   DCIM/100CANON/IMG_0003.JPG  orientation 8 (Canon PowerShot A85)
//   DCIM/100CANON/MVI_0004.MOV  a movie (not a real one)
//   DCIM/100CANON/readme.txt    not listed
//   DCIM/101CANON/DSCF0005.JPG  orientation 6, blank date (FujiFilm SP-2500)
//   DCIM/101CANON/IMG_0001.JPG  the name again (Nikon D70, 2008:03:15 09:52:01)
//   DCIM/101CANON/IMG_0006.JPG  orientation 6 (Sony Cybershot)
struct TestCard {
    std::string root;
    std::vector<std::string> listed; // the accepted files in list order
};

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void copySample(const std::string& sample, const std::string& to) {
    writeBytes(to, readBytes(testDataFile("camera/" + sample)));
}

inline TestCard makeTestCard(const std::string& root) {
    TestCard c{root, {}};
    const std::string a = root + "/DCIM/100CANON/", b = root + "/DCIM/101CANON/";
    copySample("Apple iPhone 5.jpg", a + "IMG_0001.JPG");
    copySample("Canon_40D.jpg", a + "IMG_0002.JPG");
    copySample("Canon PowerShot A85.jpg", a + "IMG_0003.JPG");
    writeBytes(a + "MVI_0004.MOV", std::vector<uint8_t>(40000, 0x4D));
    writeBytes(a + "readme.txt", {'h', 'i'});
    copySample("FujiFilm SP-2500.jpg", b + "DSCF0005.JPG");
    copySample("Nikon_D70.jpg", b + "IMG_0001.JPG");
    copySample("Sony Cybershot (3).jpg", b + "IMG_0006.JPG");
    c.listed = {a + "IMG_0001.JPG", a + "IMG_0002.JPG", a + "IMG_0003.JPG", a + "MVI_0004.MOV",
                b + "DSCF0005.JPG", b + "IMG_0001.JPG", b + "IMG_0006.JPG"};
    return c;
}

// Sets the orientation value of IFD0 in a JPEG's EXIF block in place; false
// when the file has no such tag.
inline bool setOrientation(std::vector<uint8_t>& jpeg, uint16_t value) {
    for (size_t i = 2; i + 10 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || jpeg[i + 1] != 0xE1 ||
            std::string(jpeg.begin() + long(i) + 4, jpeg.begin() + long(i) + 8) != "Exif")
            continue;
        const size_t tiff = i + 10;
        const bool motorola = jpeg[tiff] == 'M';
        auto get16 = [&](size_t at) {
            return motorola ? uint16_t(jpeg[at] << 8 | jpeg[at + 1])
                            : uint16_t(jpeg[at + 1] << 8 | jpeg[at]);
        };
        auto get32 = [&](size_t at) {
            return motorola ? uint32_t(get16(at)) << 16 | get16(at + 2)
                            : uint32_t(get16(at + 2)) << 16 | get16(at);
        };
        const size_t ifd = tiff + get32(tiff + 4);
        const uint16_t count = get16(ifd);
        for (uint16_t k = 0; k < count; ++k) {
            const size_t e = ifd + 2 + size_t(k) * 12;
            if (e + 12 > jpeg.size())
                return false;
            if (get16(e) == 274) {
                jpeg[e + 8] = motorola ? uint8_t(value >> 8) : uint8_t(value);
                jpeg[e + 9] = motorola ? uint8_t(value) : uint8_t(value >> 8);
                return true;
            }
        }
        return false;
    }
    return false;
}

inline std::string shellQuoteArg(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Names in a folder that look like an unfinished copy.
inline std::vector<std::string> leftoverTemps(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->path().filename().string().find(".kamelo-") != std::string::npos)
            out.push_back(it->path().string());
    return out;
}

} // namespace kamelo::test
