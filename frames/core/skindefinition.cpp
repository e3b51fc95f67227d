#include "skindefinition.h"

#include "updater/profile.h"

#include <algorithm>
#include <cctype>

namespace kamelo::frames {

namespace {

bool equalsNoCase(const std::string& a, const char* b) {
    const std::string other(b);
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

SkinDefinition fromProfile(const vela::ProfileFile& ini) {
    // A number is its leading sign and digits; a missing one is 0. The
    // reader keeps 32 bits as the profile calls do.
    const auto number = [&](const char* section, const char* key) {
        return static_cast<int32_t>(ini.integer(section, key, 0));
    };
    SkinDefinition s;
    s.caption = ini.text("GENERAL", "CAPTION");
    s.attachOnTop = equalsNoCase(ini.text("GENERAL", "TYPE", "NORMAL"), "attach_on_top");
    s.startX = number("SKIN", "START_X");
    s.startY = number("SKIN", "START_Y");
    s.marginX = number("SKIN", "MARGIN_X");
    s.marginY = number("SKIN", "MARGIN_Y");
    s.topLeftCx = number("SKIN", "TOP_LEFT_CX");
    s.topLeftCy = number("SKIN", "TOP_LEFT_CY");
    s.topCx = number("SKIN", "TOP_CX");
    s.topCy = number("SKIN", "TOP_CY");
    s.topRightCx = number("SKIN", "TOP_RIGHT_CX");
    s.topRightCy = number("SKIN", "TOP_RIGHT_CY");
    s.leftCx = number("SKIN", "LEFT_CX");
    s.leftCy = number("SKIN", "LEFT_CY");
    s.bottomLeftCx = number("SKIN", "BOTTOM_LEFT_CX");
    s.bottomLeftCy = number("SKIN", "BOTTOM_LEFT_CY");
    s.bottomCx = number("SKIN", "BOTTOM_CX");
    s.bottomCy = number("SKIN", "BOTTOM_CY");
    s.rightCx = number("SKIN", "RIGHT_CX");
    s.rightCy = number("SKIN", "RIGHT_CY");
    s.bottomRightCx = number("SKIN", "BOTTOM_RIGHT_CX");
    s.bottomRightCy = number("SKIN", "BOTTOM_RIGHT_CY");
    if (s.attachOnTop) {
        s.specialX = number("SPECIAL", "SPECIAL_X");
        s.specialY = number("SPECIAL", "SPECIAL_Y");
        s.specialCx = number("SPECIAL", "SPECIAL_CX");
        s.specialCy = number("SPECIAL", "SPECIAL_CY");
    }
    return s;
}

} // namespace

bool readSkin(const std::string& iniPath, SkinDefinition& definition) {
    vela::ProfileFile ini;
    if (!ini.load(iniPath))
        return false;
    definition = fromProfile(ini);
    return true;
}

SkinDefinition parseSkin(const std::string& bytes) {
    return fromProfile(vela::ProfileFile(bytes));
}

std::string skinBitmapPath(const std::string& iniPath) {
    const size_t keep = iniPath.size() >= 4 ? iniPath.size() - 4 : 0;
    return iniPath.substr(0, keep) + ".bmp";
}

} // namespace kamelo::frames
