#pragma once

#include "pagegeometry.h"
#include "printsettings.h"
#include "rects.h"

#include <string>
#include <utility>

namespace kamelo {

// Where pictures, header, footer and captions go on a page. Lengths are
// hundredths of a millimetre from the printable area's top-left corner.
class PrintLayout {
public:
    // Twips to hundredths of a millimetre.
    static constexpr double kTwipsToHundredthsMm = 1.7638889;

    PrintLayout(const PrintSettings& settings, const PageGeometry& page);

    const PrintSettings& settings() const { return settings_; }
    const PageGeometry& page() const { return page_; }

    // One text line of the print font.
    double lineHeight() const;
    // The page less the margins.
    MmRect contentRect() const;
    MmRect headerBand() const;
    MmRect footerBand() const;

    int picturesPerPage() const;
    int pageCount(int pictureCount) const;
    // The first picture (from 0) of page (from 1).
    int firstPictureOf(int page) const { return (page - 1) * picturesPerPage(); }

    // Sheet mode.
    double cellWidth() const;
    double cellHeight() const;
    // The cell of row and column (from 0): left rounded to whole hundredths.
    MmRect cellRect(int row, int column) const;

    // Whole-page mode: where a width x height picture goes.
    struct WholePage {
        MmRect dest;
        SourceRect source; // the pixels printed (all of them unless cropped)
        bool cropped = false;
        MmRect headerBand;
        MmRect captionBand; // the line below the picture
    };
    WholePage placeWhole(int pictureWidth, int pictureHeight) const;
    // The fixed size of a choice (width x height), or 0 x 0 for "fit the page".
    static std::pair<double, double> fixedSize(PrintSize size, double userWidthMm,
                                               double userHeightMm);

    // The dialog's limits for the grid on this page.
    int maxColumns() const;
    int maxRows() const;
    int maxHorzSpace() const;
    int maxVertSpace() const;
    double maxHorzFrameMargin() const;
    double maxVertFrameMargin() const;

private:
    double textAbove() const;
    double textBelowWhole() const;

    PrintSettings settings_;
    PageGeometry page_;
};

// Hundredths of a millimetre to device pixels, each axis with its own
// resolution: round(value / 2540 x dpi).
class DeviceMapping {
public:
    DeviceMapping(double dpiX, double dpiY) : dpiX_(dpiX), dpiY_(dpiY) {}
    double dpiX() const { return dpiX_; }
    double dpiY() const { return dpiY_; }
    int x(double value) const;
    int y(double value) const;
    PixelRect rect(const MmRect& r) const;

private:
    double dpiX_;
    double dpiY_;
};

// A sheet cell in device pixels.
struct SheetCell {
    PixelRect cell;
    PixelRect band;    // the cell less the caption line
    PixelRect caption; // the caption line at the bottom of the cell
    PixelRect picture; // empty when the picture size is unknown or too small
};

class SheetPlacement {
public:
    // The cell of row and column with a width x height picture fitted into
    // the band less the frame margins, centred, then kept one pixel off a
    // zero edge and inside its band by one pixel on every side.
    static SheetCell place(const PrintLayout& layout, const DeviceMapping& map, int row, int column,
                           int pictureWidth, int pictureHeight);
};

// The paper fitted into the dialog's preview box.
struct PreviewFrame {
    PixelRect paper;
    double scale = 0; // preview pixels per hundredth of a millimetre
    double dpi() const { return scale * 2540.0; }
};
PreviewFrame previewFrame(int boxWidth, int boxHeight, const PageGeometry& page);

// Why settings cannot be printed: 0 when they can, else the string id of the
// message (some take a number: formatArgument).
struct PrintRefusal {
    int messageId = 0;
    double formatArgument = 0;
    explicit operator bool() const { return messageId != 0; }
};
PrintRefusal checkPrintable(const PrintSettings& settings, const PageGeometry& page,
                            int copies = 1);
// The Korean message of a refusal.
std::string refusalMessage(const PrintRefusal& refusal);

} // namespace kamelo
