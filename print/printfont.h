#pragma once

#include "print/core/printsettings.h"

#include <QColor>
#include <QFont>

namespace kamelo {

// The print font of the settings at a device resolution: the face (or the
// desktop's Korean sans-serif when the face is not installed), sized so that
// one line of it (ascent and descent) is the height in twips, the style flags.
class PrintFont {
public:
    static QFont font(const PrintSettings& settings, double dpiY);
    // The family fontconfig gives for "sans-serif:lang=ko".
    static QString koreanFallbackFamily();
    // A colour value 0x00BBGGRR.
    static QColor color(uint32_t bgr);
    static uint32_t toBgr(const QColor& color);
};

} // namespace kamelo
