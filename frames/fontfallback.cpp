#include "fontfallback.h"

#include <QFontDatabase>

#include <fontconfig/fontconfig.h>

namespace kamelo::frames {

QString koreanFallbackFace() {
    static const QString face = [] {
        QString family;
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ko"));
        if (!pattern)
            return family;
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
                family = QString::fromUtf8(reinterpret_cast<const char*>(name));
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
        return family;
    }();
    return face;
}

QString faceForDrawing(const QString& storedFace) {
    if (!storedFace.isEmpty() && QFontDatabase::hasFamily(storedFace))
        return storedFace;
    const QString fallback = koreanFallbackFace();
    return fallback.isEmpty() ? QStringLiteral("sans-serif") : fallback;
}

} // namespace kamelo::frames
