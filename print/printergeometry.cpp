#include "printergeometry.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

namespace kamelo {

std::optional<QPrinterInfo> PrinterGeometry::defaultPrinter() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull() && !info.printerName().isEmpty())
        return info;
    const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

PageGeometry PrinterGeometry::of(const QPrinter& printer) {
    const QPageLayout layout = printer.pageLayout();
    const QRectF full = layout.fullRect(QPageLayout::Millimeter);
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    PageGeometry g;
    g.paperWidthMm = PageGeometry::wholeMm(full.width());
    g.paperHeightMm = PageGeometry::wholeMm(full.height());
    g.offsetLeftMm = PageGeometry::wholeMm(m.left());
    g.offsetTopMm = PageGeometry::wholeMm(m.top());
    g.offsetRightMm = PageGeometry::wholeMm(m.right());
    g.offsetBottomMm = PageGeometry::wholeMm(m.bottom());
    g.landscape = layout.orientation() == QPageLayout::Landscape;
    return g;
}

PrinterPage PrinterGeometry::describe(const QPrinter& printer) {
    PrinterPage page;
    page.printerName = printer.printerName();
    page.formName = printer.pageLayout().pageSize().name();
    page.geometry = of(printer);
    return page;
}

std::optional<PrinterPage> PrinterGeometry::currentPage() {
    const std::optional<QPrinterInfo> info = defaultPrinter();
    if (!info)
        return std::nullopt;
    QPrinter printer(*info, QPrinter::HighResolution);
    return describe(printer);
}

} // namespace kamelo
