#include "printlayout.h"

#include "resources/stringtable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kamelo {

int PageGeometry::wholeMm(double mm) {
    return mm > 0 ? static_cast<int>(mm) : 0;
}

PrintLayout::PrintLayout(const PrintSettings& settings, const PageGeometry& page)
    : settings_(settings), page_(page) {}

double PrintLayout::lineHeight() const {
    return settings_.fontHeight * kTwipsToHundredthsMm;
}

MmRect PrintLayout::contentRect() const {
    return {settings_.leftMargin * 100.0, settings_.topMargin * 100.0,
            page_.pageWidth() - settings_.rightMargin * 100.0,
            page_.pageHeight() - settings_.bottomMargin * 100.0};
}

MmRect PrintLayout::headerBand() const {
    const MmRect c = contentRect();
    return {c.left, c.top, c.right, c.top + lineHeight()};
}

MmRect PrintLayout::footerBand() const {
    const MmRect c = contentRect();
    return {c.left, c.bottom - lineHeight(), c.right, c.bottom};
}

int PrintLayout::picturesPerPage() const {
    return settings_.sheet() ? std::max(1, settings_.columnCount) * std::max(1, settings_.rowCount)
                             : 1;
}

int PrintLayout::pageCount(int pictureCount) const {
    if (pictureCount <= 0)
        return 0;
    const int per = picturesPerPage();
    return (pictureCount + per - 1) / per;
}

double PrintLayout::cellWidth() const {
    const int columns = std::max(1, settings_.columnCount);
    return (contentRect().width() - (columns - 1) * settings_.horzSpace * 100.0) / columns;
}

double PrintLayout::cellHeight() const {
    const int rows = std::max(1, settings_.rowCount);
    double height = contentRect().height();
    if (settings_.drawHeader)
        height -= lineHeight();
    if (settings_.drawFooter)
        height -= lineHeight();
    return (height - (rows - 1) * settings_.vertSpace * 100.0) / rows;
}

MmRect PrintLayout::cellRect(int row, int column) const {
    const MmRect c = contentRect();
    const double w = cellWidth(), h = cellHeight();
    MmRect r;
    r.left = c.left + std::round((w + settings_.horzSpace * 100.0) * column);
    r.right = r.left + w;
    r.top = c.top + (h + settings_.vertSpace * 100.0) * row;
    if (settings_.drawHeader)
        r.top += lineHeight();
    r.bottom = r.top + h;
    return r;
}

double PrintLayout::textAbove() const {
    return settings_.drawHeader ? lineHeight() : 0.0;
}

// Below a whole-page picture: its caption line and the footer line.
double PrintLayout::textBelowWhole() const {
    return (settings_.drawCaption ? lineHeight() : 0.0) +
           (settings_.drawFooter ? lineHeight() : 0.0);
}

std::pair<double, double> PrintLayout::fixedSize(PrintSize size, double userWidthMm,
                                                 double userHeightMm) {
    switch (size) {
    case PrintSize::FitPage:
        return {0, 0};
    case PrintSize::Size3x5:
        return {std::nextafter(7620.0, 0.0), 12700};
    case PrintSize::Size4x6:
        return {10160, std::nextafter(15240.0, 0.0)};
    case PrintSize::Size5x7:
        return {12700, 17780};
    case PrintSize::Size10x8:
        return {25400, 20320};
    case PrintSize::Custom:
        return {userWidthMm * 100.0, userHeightMm * 100.0};
    }
    return {0, 0};
}

PrintLayout::WholePage PrintLayout::placeWhole(int W, int H) const {
    WholePage p;
    const MmRect c = contentRect();
    const double A = c.width();
    const double above = textAbove(), below = textBelowWhole();
    // The height left for the picture between the text lines.
    const double B = c.height() - above - below;
    p.source = {0, 0, std::max(0, W), std::max(0, H)};
    p.headerBand = {c.left, c.top, c.right, c.top + (settings_.drawHeader ? lineHeight() : 0)};
    if (W <= 0 || H <= 0 || A <= 0 || B <= 0) {
        p.dest = {c.left, c.top + above, c.left, c.top + above};
        p.captionBand = {c.left, p.dest.bottom, c.right, p.dest.bottom};
        return p;
    }
    const auto [fw, fh] = fixedSize(settings_.size, settings_.userWidth, settings_.userHeight);
    if (fw <= 0 || fh <= 0) {
        if (A / W < B / H) {
            const double h = A / W * H;
            p.dest = {c.left, c.top + above + (B - h) / 2, c.right, 0};
            p.dest.bottom = p.dest.top + h;
        } else {
            const double w = B / H * W;
            p.dest = {c.left + (A - w) / 2, c.top + above, 0, c.top + above + B};
            p.dest.right = p.dest.left + w;
        }
    } else {
        // The box turns with the picture: a landscape picture goes into the
        // box laid across.
        double bw = fw, bh = fh;
        if ((W > H) != (bw > bh) && W != H)
            std::swap(bw, bh);
        double pw, ph;
        if (static_cast<double>(H) / bh >= static_cast<double>(W) / bw) {
            ph = bh;
            pw = W * bh / H;
        } else {
            pw = bw;
            ph = H * bw / W;
        }
        if (pw <= A) {
            p.dest.left = c.left + (A - pw) / 2;
            p.dest.right = p.dest.left + pw;
        } else {
            p.dest.left = c.left;
            p.dest.right = c.right;
            const int drop = static_cast<int>(W * ((pw - A) / 2 / pw));
            p.source.x = drop;
            p.source.width = std::max(1, W - 2 * drop);
            p.cropped = true;
        }
        p.dest.top = c.top + above;
        if (ph <= B) {
            p.dest.bottom = p.dest.top + ph;
        } else {
            p.dest.bottom = p.dest.top + B;
            const int drop = static_cast<int>(H * ((ph - B) / ph));
            p.source.height = std::max(1, H - drop);
            p.cropped = true;
        }
    }
    p.captionBand = {c.left, p.dest.bottom, c.right,
                     p.dest.bottom + (settings_.drawCaption ? lineHeight() : 0)};
    return p;
}

int PrintLayout::maxColumns() const {
    return std::max(1, static_cast<int>(page_.pageWidth()) / 2000);
}

int PrintLayout::maxRows() const {
    return std::max(1, static_cast<int>(page_.pageHeight()) / 2000);
}

int PrintLayout::maxHorzSpace() const {
    return std::max(
        0, static_cast<int>(page_.pageWidth() / 100) / std::max(1, settings_.columnCount) - 3);
}

int PrintLayout::maxVertSpace() const {
    return std::max(
        0, static_cast<int>(page_.pageHeight() / 100) / std::max(1, settings_.rowCount) - 3);
}

double PrintLayout::maxHorzFrameMargin() const {
    return std::max(0.0, 0.4 * cellWidth() / 100.0);
}

double PrintLayout::maxVertFrameMargin() const {
    return std::max(0.0, 0.4 * cellHeight() / 100.0);
}

int DeviceMapping::x(double value) const {
    return static_cast<int>(std::lround(value / 2540.0 * dpiX_));
}

int DeviceMapping::y(double value) const {
    return static_cast<int>(std::lround(value / 2540.0 * dpiY_));
}

PixelRect DeviceMapping::rect(const MmRect& r) const {
    return {x(r.left), y(r.top), x(r.right), y(r.bottom)};
}

SheetCell SheetPlacement::place(const PrintLayout& layout, const DeviceMapping& map, int row,
                                int column, int W, int H) {
    const PrintSettings& s = layout.settings();
    const MmRect mm = layout.cellRect(row, column);
    SheetCell out;
    // Every cell gets the same pixel size, whatever the rounding of its edges.
    out.cell.left = map.x(mm.left);
    out.cell.top = map.y(mm.top);
    out.cell.right = out.cell.left + map.x(layout.cellWidth());
    out.cell.bottom = out.cell.top + map.y(layout.cellHeight());
    const int line = s.drawCaption ? map.y(layout.lineHeight()) : 0;
    out.band = out.cell;
    out.band.bottom = std::max(out.band.top, out.cell.bottom - line);
    out.caption = {out.cell.left, out.band.bottom, out.cell.right, out.cell.bottom};
    const int boxW = out.band.width() - 2 * map.x(s.horzFrameMargin * 100.0);
    const int boxH = out.band.height() - 2 * map.y(s.vertFrameMargin * 100.0);
    if (W <= 0 || H <= 0 || boxW <= 0 || boxH <= 0)
        return out;
    // The shared fit rule: full width when the box is relatively taller.
    int w, h;
    if (static_cast<double>(boxH) / boxW >= static_cast<double>(H) / W) {
        w = boxW;
        h = static_cast<int>(static_cast<double>(boxW) / W * H);
    } else {
        h = boxH;
        w = static_cast<int>(static_cast<double>(boxH) / H * W);
    }
    PixelRect p;
    p.left = out.band.left + (out.band.width() - w + 1) / 2;
    p.top = out.band.top + (out.band.height() - h + 1) / 2;
    p.right = p.left + w;
    p.bottom = p.top + h;
    if (p.left == 0)
        p.left = 1;
    if (p.top == 0)
        p.top = 1;
    p = {p.left + 1, p.top + 1, p.right - 1, p.bottom - 1};
    if (!p.empty())
        out.picture = p;
    return out;
}

PreviewFrame previewFrame(int boxWidth, int boxHeight, const PageGeometry& page) {
    PreviewFrame f;
    const double pw = page.paperWidthMm * 100.0, ph = page.paperHeightMm * 100.0;
    if (boxWidth <= 0 || boxHeight <= 0 || pw <= 0 || ph <= 0)
        return f;
    // Portrait paper takes the full height, landscape the full width; a box
    // too narrow (or too flat) for that takes the other side instead.
    bool fullHeight = ph >= pw;
    if (fullHeight && boxHeight * pw / ph > boxWidth)
        fullHeight = false;
    else if (!fullHeight && boxWidth * ph / pw > boxHeight)
        fullHeight = true;
    if (fullHeight) {
        const int w = static_cast<int>(boxHeight * pw / ph);
        const int left = (boxWidth - w + 1) / 2;
        f.paper = {left, 0, left + w, boxHeight};
        f.scale = boxHeight / ph;
    } else {
        const int h = static_cast<int>(boxWidth * ph / pw);
        const int top = (boxHeight - h + 1) / 2;
        f.paper = {0, top, boxWidth, top + h};
        f.scale = boxWidth / pw;
    }
    return f;
}

PrintRefusal checkPrintable(const PrintSettings& s, const PageGeometry& page, int copies) {
    using namespace res;
    if (copies < 1)
        return {IDS_PRINT_BAD_COPIES};
    if (!page.valid())
        return {IDS_PRINT_BAD_PAGE};
    for (int m : {s.leftMargin, s.rightMargin, s.topMargin, s.bottomMargin})
        if (m < 0 || m > PrintSettings::kMaxMarginMm)
            return {IDS_PRINT_BAD_MARGIN};
    const PrintLayout layout(s, page);
    const MmRect content = layout.contentRect();
    if (!s.sheet()) {
        if (s.size == PrintSize::Custom && (!(s.userWidth > 0) || !(s.userHeight > 0)))
            return {IDS_PRINT_BAD_CUSTOM_SIZE};
        const double texts =
            (s.drawHeader ? 1 : 0) + (s.drawCaption ? 1 : 0) + (s.drawFooter ? 1 : 0);
        if (content.width() <= 0 || content.height() - texts * layout.lineHeight() <= 0)
            return {IDS_PRINT_NO_ROOM};
        return {};
    }
    if (s.columnCount < 1 || s.columnCount > layout.maxColumns())
        return {IDS_PRINT_BAD_COLUMNS, double(layout.maxColumns())};
    if (s.rowCount < 1 || s.rowCount > layout.maxRows())
        return {IDS_PRINT_BAD_ROWS, double(layout.maxRows())};
    if (s.horzSpace < 0 || s.horzSpace > layout.maxHorzSpace())
        return {IDS_PRINT_BAD_HORZ_SPACE, double(layout.maxHorzSpace())};
    if (s.vertSpace < 0 || s.vertSpace > layout.maxVertSpace())
        return {IDS_PRINT_BAD_VERT_SPACE, double(layout.maxVertSpace())};
    if (content.width() <= 0 || content.height() <= 0 || layout.cellWidth() <= 0 ||
        layout.cellHeight() <= 0)
        return {IDS_PRINT_NO_ROOM};
    if (s.horzFrameMargin < 0 || s.horzFrameMargin > layout.maxHorzFrameMargin())
        return {IDS_PRINT_BAD_HORZ_FRAME_MARGIN,
                std::floor(layout.maxHorzFrameMargin() * 10 + 1e-9) / 10};
    if (s.vertFrameMargin < 0 || s.vertFrameMargin > layout.maxVertFrameMargin())
        return {IDS_PRINT_BAD_VERT_FRAME_MARGIN,
                std::floor(layout.maxVertFrameMargin() * 10 + 1e-9) / 10};
    // The picture band: the cell less its caption line and both frame margins.
    const double bandW = layout.cellWidth() - 2 * s.horzFrameMargin * 100.0;
    const double bandH = layout.cellHeight() - (s.drawCaption ? layout.lineHeight() : 0) -
                         2 * s.vertFrameMargin * 100.0;
    if (bandW <= 0 || bandH <= 0)
        return {IDS_PRINT_NO_ROOM};
    return {};
}

std::string refusalMessage(const PrintRefusal& r) {
    switch (r.messageId) {
    case res::IDS_PRINT_BAD_HORZ_FRAME_MARGIN:
    case res::IDS_PRINT_BAD_VERT_FRAME_MARGIN: {
        // One decimal, as the limit is shown.
        char number[32];
        std::snprintf(number, sizeof number, "%.1f", r.formatArgument);
        return res::format(r.messageId, number);
    }
    case res::IDS_PRINT_BAD_COLUMNS:
    case res::IDS_PRINT_BAD_ROWS:
    case res::IDS_PRINT_BAD_HORZ_SPACE:
    case res::IDS_PRINT_BAD_VERT_SPACE:
        return res::format(r.messageId, static_cast<int>(r.formatArgument));
    default:
        return std::string(res::text(r.messageId));
    }
}

} // namespace kamelo
