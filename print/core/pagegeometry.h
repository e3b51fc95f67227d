#pragma once

#include <string>

namespace kamelo {

// A printer's paper as the layout sees it: paper size and the unprintable
// edges, each truncated to whole millimetres. Layout lengths are hundredths
// of a millimetre measured from the printable area's top-left corner.
struct PageGeometry {
    int paperWidthMm = 0;
    int paperHeightMm = 0;
    int offsetLeftMm = 0;
    int offsetTopMm = 0;
    int offsetRightMm = 0;
    int offsetBottomMm = 0;
    bool landscape = false;

    // The printable area, in hundredths of a millimetre. All four edges count,
    // so printers with unequal edges keep everything on the printable area.
    double pageWidth() const { return (paperWidthMm - offsetLeftMm - offsetRightMm) * 100.0; }
    double pageHeight() const { return (paperHeightMm - offsetTopMm - offsetBottomMm) * 100.0; }
    bool valid() const { return pageWidth() > 0 && pageHeight() > 0; }

    // Millimetres as the dialog shows them: truncated toward zero.
    static int wholeMm(double mm);
};

} // namespace kamelo
