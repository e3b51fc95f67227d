#pragma once

// What a picture file carries, as ExifTool reads it, for tests that check a
// write kept everything its source had.

#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kamelo::test {

inline std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string commandOutput(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// The output without its closing line ends: one value a tool printed.
inline std::string commandLine(const std::string& cmd) {
    std::string out = commandOutput(cmd);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

inline bool haveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// "Group:Tag" -> values (a tag may appear more than once), every group
// ExifTool knows, numbers unconverted.
using TagDump = std::map<std::string, std::multiset<std::string>>;

inline TagDump dumpTags(const std::string& path) {
    TagDump tags;
    const std::string text =
        commandOutput("exiftool -a -G1 -s -n -q -q -m -charset filename=utf8 " + quoted(path));
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t close = line.find(']');
        const size_t colon = line.find(" : ");
        if (line.empty() || line[0] != '[' || close == std::string::npos ||
            colon == std::string::npos)
            continue;
        std::string tag = line.substr(close + 1, colon - close - 1);
        tag.erase(0, tag.find_first_not_of(' '));
        tag.erase(tag.find_last_not_of(' ') + 1);
        tags[line.substr(1, close - 1) + ":" + tag].insert(line.substr(colon + 3));
    }
    return tags;
}

// The bytes of one tag ExifTool extracts (-b), such as "ICC_Profile".
inline std::string binaryTag(const std::string& path, const std::string& tag) {
    return commandOutput("exiftool -q -q -b -" + tag + " " + quoted(path));
}

// The JPEG's sampling factors ("2x2,1x1,1x1") as ImageMagick reads them.
inline std::string samplingFactors(const std::string& path) {
    std::string s = commandOutput("identify -format '%[jpeg:sampling-factor]' " + quoted(path) +
                                  " 2>/dev/null");
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

// A camera JPEG given everything a photographer's file may carry: GPS,
// copyright and artist, XMP, IPTC and an ICC profile (taken from a sample
// that has one). large: a 557 KB profile (nine APP2 chunks) and a 70 KB
// description, which goes to extended XMP. Empty when ExifTool or the
// samples are missing.
inline std::string richPhoto(const ScratchDir& dir, const std::string& camera = "Canon_40D.jpg",
                             const std::string& name = "rich.jpg", bool large = false) {
    if (testDataDir().empty() || !haveTool("exiftool"))
        return {};
    const std::string icc = dir.file("profile.icc");
    commandOutput("exiftool -q -b -ICC_Profile " + quoted(testDataFile("formats/psd/hopper.psd")) +
                  " > " + quoted(icc));
    const std::string out = dir.file(name);
    commandOutput("cp " + quoted(testDataFile("camera/" + camera)) + " " + quoted(out));
    const std::string set =
        "exiftool -q -q -m -overwrite_original -GPSLatitude=37.5665 -GPSLatitudeRef=N "
        "-GPSLongitude=126.978 -GPSLongitudeRef=E -GPSAltitude=38.5 -GPSAltitudeRef=0 "
        "-GPSDateStamp=2024:05:01 -GPSTimeStamp=10:20:30 -GPSMapDatum=WGS-84 "
        "-EXIF:Copyright='(c) Kim Photographer' -EXIF:Artist='Kim' -XPAuthor='Kim' "
        "-ExposureProgram=3 -WhiteBalance=1 -XMP-dc:Creator='Kim Photographer' "
        "-XMP-dc:Subject=travel -XMP-dc:Subject=Seoul -XMP-xmp:Rating=4 "
        "-XMP-dc:Description='" +
        (large ? std::string(70000, 'x') : std::string("Gyeongbokgung at dusk")) +
        "' -IPTC:Keywords=travel -IPTC:Keywords=Seoul "
        "-IPTC:By-line='Kim' -IPTC:City=Seoul -IPTC:CopyrightNotice='(c) Kim' "
        "'-ICC_Profile<=" +
        icc + "' " + quoted(out);
    commandOutput(set);
    return out;
}

} // namespace kamelo::test
