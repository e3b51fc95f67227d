#include "printrun.h"

#include "print/core/printlayout.h"
#include "print/pagerenderer.h"
#include "print/printergeometry.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace kamelo {

PrintRun::Outcome PrintRun::run(QPrinter& printer, const PrintJob& job, PictureReader& reader,
                                const Progress& progress) {
    Outcome out;
    const PageGeometry page = PrinterGeometry::of(printer);
    const int pages = job.pageCount(page);
    if (pages <= 0)
        return out;
    int from = 1, to = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::clamp(printer.fromPage(), 1, pages);
        to = std::clamp(printer.toPage() > 0 ? printer.toPage() : pages, from, pages);
    }
    // Printers that make copies themselves get the job once.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const int total = (to - from + 1) * copies;
    QPainter painter;
    if (!painter.begin(&printer))
        return out;
    out.started = true;
    const DeviceMapping map(printer.logicalDpiX(), printer.logicalDpiY());
    auto stopAsked = [&] { return progress && !progress(out.pagesPrinted, total); };
    for (int copy = 0; copy < copies && !out.cancelled; ++copy) {
        for (int p = from; p <= to; ++p) {
            if (stopAsked()) {
                out.cancelled = true;
                break;
            }
            if (out.pagesPrinted > 0)
                printer.newPage();
            const PageRenderer::Result r =
                PageRenderer::render(painter, job, page, p, map, QPoint(0, 0), reader, stopAsked);
            for (const std::string& f : r.failed)
                if (std::find(out.failed.begin(), out.failed.end(), f) == out.failed.end())
                    out.failed.push_back(f);
            ++out.pagesPrinted;
            if (r.cancelled) {
                out.cancelled = true;
                break;
            }
        }
    }
    if (out.cancelled)
        printer.abort();
    painter.end();
    if (progress && !out.cancelled)
        progress(out.pagesPrinted, total);
    return out;
}

} // namespace kamelo
