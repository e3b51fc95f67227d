#include "printfont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>

namespace kamelo {

QString PrintFont::koreanFallbackFamily() {
    static const QString family = [] {
        QString name;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ko"));
        if (!pattern)
            return name;
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* value = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch && value)
                name = QString::fromUtf8(reinterpret_cast<const char*>(value));
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        return name;
    }();
    return family;
}

QFont PrintFont::font(const PrintSettings& s, double dpiY) {
    QFont f;
    const QString face = QString::fromStdString(s.faceName);
    const QString fallback = koreanFallbackFamily();
    if (!face.isEmpty() && QFontDatabase::hasFamily(face))
        f.setFamilies({face});
    else if (!fallback.isEmpty())
        f.setFamilies({fallback});
    else
        f.setFamilies({QStringLiteral("sans-serif")});
    f.setBold(s.bold != 0);
    f.setItalic(s.italic != 0);
    f.setUnderline(s.underline != 0);
    f.setStrikeOut(s.strikeout != 0);
    // The height is that of a text line (twips are twentieths of a point),
    // ascent and descent together, so that a caption stays inside its line
    // and off the footer's line below it.
    const double line = s.fontHeight / 20.0 / 72.0 * dpiY;
    int pixels = std::max(1, static_cast<int>(std::lround(line)));
    f.setPixelSize(pixels);
    const double cell = QFontMetricsF(f).height();
    if (cell > line && cell > 0) {
        pixels = std::max(1, static_cast<int>(std::floor(pixels * line / cell)));
        f.setPixelSize(pixels);
        while (pixels > 1 && QFontMetricsF(f).height() > line)
            f.setPixelSize(--pixels);
    }
    return f;
}

QColor PrintFont::color(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

uint32_t PrintFont::toBgr(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

} // namespace kamelo
