#include "exifrows.h"

#include "resources/stringtable.h"

#include <algorithm>
#include <cstring>

namespace kamelo {

namespace {

std::string str(int id) {
    return std::string(res::text(id));
}

const std::vector<uint8_t>* comment(const ExifSources& s, int type) {
    const auto it = s.comments.find(type);
    return it == s.comments.end() || it->second.empty() ? nullptr : &it->second;
}

std::string asText(const std::vector<uint8_t>* c) {
    if (!c)
        return {};
    std::string t(c->begin(), c->end());
    const size_t nul = t.find('\0');
    return nul == std::string::npos ? t : t.substr(0, nul);
}

// Numerator / denominator of a rational comment; false when there is none.
bool rational(const std::vector<uint8_t>* c, bool isSigned, double& out) {
    if (!c || c->size() < 8)
        return false;
    uint32_t num, den;
    std::memcpy(&num, c->data(), 4);
    std::memcpy(&den, c->data() + 4, 4);
    if (den == 0)
        return false;
    out = isSigned ? double(int32_t(num)) / double(int32_t(den)) : double(num) / double(den);
    return true;
}

std::string printf1(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

} // namespace

std::vector<std::string> ExifRows::labels() {
    return {str(res::IDS_EXIF_WIDTH),
            str(res::IDS_EXIF_HEIGHT),
            str(res::IDS_EXIF_X_RESOLUTION),
            str(res::IDS_EXIF_Y_RESOLUTION),
            "Resolution Unit",
            str(res::IDS_EXIF_MAKE),
            str(res::IDS_EXIF_MODEL),
            str(res::IDS_EXIF_DATE),
            str(res::IDS_EXIF_DATE_TAKEN),
            str(res::IDS_EXIF_SOFTWARE),
            "Orientation",
            str(res::IDS_EXIF_SHUTTER_SPEED),
            "ISO",
            str(res::IDS_EXIF_APERTURE),
            str(res::IDS_EXIF_FOCAL_LENGTH),
            "Flash",
            "Color space",
            "Light Source",
            "Metering mode",
            str(res::IDS_EXIF_F_NUMBER),
            str(res::IDS_EXIF_VERSION)};
}

std::vector<std::pair<std::string, int>> ExifRows::columns(const std::string& text) {
    auto trim = [](std::string t) {
        const size_t a = t.find_first_not_of(' '), b = t.find_last_not_of(' ');
        return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
    };
    std::vector<std::pair<std::string, int>> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(';', start), text.size());
        const std::string entry = text.substr(start, end - start);
        const size_t comma = entry.find(',');
        if (comma != std::string::npos) {
            const std::string width = trim(entry.substr(comma + 1));
            const bool digits =
                !width.empty() && width.find_first_not_of("0123456789") == std::string::npos;
            out.emplace_back(trim(entry.substr(0, comma)),
                             digits && width.size() < 6 ? std::stoi(width) : 0);
        }
        start = end + 1;
    }
    return out;
}

std::string ExifRows::exposureText(double t) {
    if (t > 0.5)
        return res::format(res::IDS_EXIF_EXPOSURE_SECONDS, t);
    const int denominator = t > 0 ? int(1.0 / t + 0.5) : 0;
    return res::format(res::IDS_EXIF_EXPOSURE_FRACTION, denominator, t);
}

std::string ExifRows::flashText(int v) {
    static const std::map<int, const char*> table = {
        {0x00, "Flash not fired"},
        {0x01, "Flash fired"},
        {0x05, "Strobe return light not detected"},
        {0x07, "Strobe return light detected"},
        {0x09, "Flash fired, compulsory flash mode"},
        {0x0D, "Flash fired, compulsory flash mode, return light not detected"},
        {0x0F, "Flash fired, compulsory flash mode, return light detected"},
        {0x10, "Flash not fired, compulsory flash mode"},
        {0x18, "Flash not fired, auto mode"},
        {0x19, "Flash fired, auto mode"},
        {0x1D, "Flash fired, auto mode, return light not detected"},
        {0x1F, "Flash fired, auto mode, return light detected"},
        {0x20, "No flash function"},
        {0x41, "Flash fired, red-eye reduction mode"},
        {0x45, "Flash fired, red-eye reduction mode, return light not detected"},
        {0x47, "Flash fired, red-eye reduction mode, return light detected"},
        {0x49, "Flash fired, compulsory flash mode, red-eye reduction mode"},
        {0x4D, "Flash fired, compulsory flash mode, red-eye reduction mode, return light not "
               "detected"},
        {0x4F, "Flash fired, compulsory flash mode, red-eye reduction mode, return light detected"},
        {0x59, "Flash fired, auto mode, red-eye reduction mode"},
        {0x5D, "Flash fired, auto mode, return light not detected, red-eye reduction mode"},
        {0x5F, "Flash fired, auto mode, return light detected, red-eye reduction mode"},
    };
    const auto it = table.find(v);
    return it == table.end() ? std::string() : it->second;
}

std::string ExifRows::lightSourceText(int v) {
    static const std::map<int, const char*> table = {
        {0, "unknown"},
        {1, "Daylight"},
        {2, "Fluorescent"},
        {3, "Tungsten (incandescent light)"},
        {4, "Flash"},
        {9, "Fine weather"},
        {10, "Cloudy weather"},
        {11, "Shade"},
        {12, "Daylight fluorescent (D 5700-7100K)"},
        {13, "Day white fluorescent (N 4600-5400K)"},
        {14, "Cool white fluorescent (W 3900-4500K)"},
        {15, "White fluorescent (WW 3200-3700K)"},
        {17, "Standard light A"},
        {18, "Standard light B"},
        {19, "Standard light C"},
        {20, "D55"},
        {21, "D65"},
        {22, "D75"},
        {23, "D50"},
        {24, "ISO studio tungsten"},
        {255, "other light source"},
    };
    const auto it = table.find(v);
    return it == table.end() ? std::string() : it->second;
}

std::string ExifRows::meteringText(std::optional<uint16_t> v) {
    static const char* names[] = {
        "unknown", "Average", "CenterWeightedAverage", "Spot", "MultiSpot", "Pattern", "Partial"};
    if (!v || *v == 0xFFFF)
        return {};
    return *v <= 6 ? names[*v] : "other";
}

std::string ExifRows::colorSpaceText(std::optional<uint16_t> v) {
    if (!v || *v == 0xFFFF)
        return "Uncalibrated";
    return *v == 1 ? "sRGB" : "";
}

std::string ExifRows::versionText(const std::vector<uint8_t>& c) {
    if (c.size() < 3)
        return {};
    return std::string("Version ") + char(c[1]) + "." + char(c[2]);
}

std::vector<ExifRow> ExifRows::build(const ExifSources& s) {
    const std::vector<std::string> label = labels();
    std::vector<std::string> v(kCount);
    const ExifImageInfo& info = s.section;
    v[0] = res::format(res::IDS_EXIF_PIXELS, int(info.width));
    v[1] = res::format(res::IDS_EXIF_PIXELS, int(info.height));
    if (info.xResolution != 0 && info.resolutionUnit != 0)
        v[2] = printf1("%.0fdpi", info.xResolution / info.resolutionUnit);
    if (info.yResolution != 0 && info.resolutionUnit != 0)
        v[3] = printf1("%.0fdpi", info.yResolution / info.resolutionUnit);
    if (s.properties.resolutionUnit)
        v[4] = std::to_string(*s.properties.resolutionUnit);
    v[5] = asText(comment(s, 5));
    v[6] = asText(comment(s, 6));
    v[7] = asText(comment(s, 2));
    v[8] = asText(comment(s, 22));
    v[9] = asText(comment(s, 9));
    if (s.properties.orientation)
        v[10] = std::to_string(*s.properties.orientation);
    double r = 0;
    if (rational(comment(s, 34), false, r))
        v[11] = exposureText(r);
    if (const auto* iso = comment(s, 162); iso && iso->size() >= 2) {
        int16_t value;
        std::memcpy(&value, iso->data(), 2);
        v[12] = std::to_string(value);
    }
    if (rational(comment(s, 25), true, r))
        v[13] = printf1("%.3f", r);
    if (rational(comment(s, 33), false, r))
        v[14] = printf1("%.1f mm", r);
    if (s.properties.flash)
        v[15] = flashText(*s.properties.flash);
    v[16] = colorSpaceText(s.properties.colorSpace);
    if (s.properties.lightSource)
        v[17] = lightSourceText(*s.properties.lightSource);
    v[18] = meteringText(s.properties.meteringMode);
    if (rational(comment(s, 35), false, r))
        v[19] = printf1("F/%.1f", r);
    if (const auto* version = comment(s, 21))
        v[20] = versionText(*version);

    std::vector<ExifRow> rows;
    for (int i = 0; i < kCount; ++i)
        rows.push_back({label[size_t(i)], v[size_t(i)]});
    return rows;
}

} // namespace kamelo
