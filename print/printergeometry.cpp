#include "printergeometry.h"

#include <QPageLayout>
#include <QPageSize>
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
    page.paperKey = printer.pageLayout().pageSize().key();
    page.geometry = of(printer);
    return page;
}

bool PrinterGeometry::choose(QPrinter& printer, const QString& name, const QString& paperKey) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull() || info.printerName().isEmpty())
        return false;
    printer.setPrinterName(info.printerName());
    // Qt keeps the paper it had when the new printer has it too: the
    // queue's own default is asked for by name.
    QPageSize size = info.defaultPageSize();
    if (!paperKey.isEmpty())
        for (const QPageSize& s : info.supportedPageSizes())
            if (s.key() == paperKey)
                size = s;
    if (size.isValid())
        printer.setPageSize(size);
    return true;
}

std::optional<PrinterPage> PrinterGeometry::currentPage() {
    const std::optional<QPrinterInfo> info = defaultPrinter();
    if (!info)
        return std::nullopt;
    return page(info->printerName(), {});
}

QStringList PrinterGeometry::printers() {
    return QPrinterInfo::availablePrinterNames();
}

QList<std::pair<QString, QString>> PrinterGeometry::papers(const QString& printer) {
    QList<std::pair<QString, QString>> list;
    for (const QPageSize& s : QPrinterInfo::printerInfo(printer).supportedPageSizes())
        list.append({s.key(), s.name()});
    return list;
}

std::optional<PrinterPage> PrinterGeometry::page(const QString& name, const QString& paperKey) {
    QPrinter printer(QPrinter::HighResolution);
    if (!choose(printer, name, paperKey))
        return std::nullopt;
    return describe(printer);
}

} // namespace kamelo
