#include "printrun.h"

#include "print/core/printlayout.h"
#include "print/cupssubmit.h"
#include "print/pagerenderer.h"
#include "print/pdftitle.h"
#include "print/printergeometry.h"

#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>

#include <algorithm>

namespace kamelo {

namespace {
// Pictures are drawn in sRGB, and Qt's PDF/A-1b files say so: they carry an
// sRGB output intent for their device RGB colours. (Nothing on a page is
// transparent, which that form leaves out.)
constexpr QPagedPaintDevice::PdfVersion kPdfVersion = QPagedPaintDevice::PdfVersion_A1b;
} // namespace

PrintRun::Outcome PrintRun::run(QPrinter& printer, const PrintJob& job, PictureReader& reader,
                                const Progress& progress, const std::string& tempFolder) {
    const QString title = printer.docName();
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        const QPagedPaintDevice::PdfVersion version = printer.pdfVersion();
        printer.setPdfVersion(kPdfVersion);
        printer.setDocName(PdfTitle::placeholder(title));
        Outcome out = paint(printer, printer, job, reader, progress);
        printer.setDocName(title);
        printer.setPdfVersion(version);
        if (out.started && !out.cancelled)
            PdfTitle::apply(printer.outputFileName(), title);
        return out;
    }
    // A CUPS queue gets a PDF of our own, so that its title arrives intact.
    QTemporaryFile spool(
        QString::fromStdString(tempFolder.empty() ? QDir::tempPath().toStdString() : tempFolder) +
        QStringLiteral("/print-XXXXXX.pdf"));
    if (!spool.open()) {
        Outcome out;
        out.error = spool.errorString().toStdString();
        return out;
    }
    spool.close();
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setPdfVersion(kPdfVersion);
    pdf.setOutputFileName(spool.fileName());
    pdf.setResolution(printer.resolution());
    pdf.setPageLayout(printer.pageLayout());
    pdf.setDocName(PdfTitle::placeholder(title));
    pdf.setCreator(printer.creator());
    Outcome out = paint(pdf, printer, job, reader, progress);
    if (!out.started || out.cancelled)
        return out;
    PdfTitle::apply(spool.fileName(), title);
    QString error;
    if (CupsSubmit::submit(printer, spool.fileName(), title, error) == 0) {
        out.started = false;
        out.error = error.toStdString();
    }
    return out;
}

PrintRun::Outcome PrintRun::paint(QPrinter& target, const QPrinter& printer, const PrintJob& job,
                                  PictureReader& reader, const Progress& progress) {
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
    if (!painter.begin(&target))
        return out;
    out.started = true;
    const DeviceMapping map(target.logicalDpiX(), target.logicalDpiY());
    auto stopAsked = [&] { return progress && !progress(out.pagesPrinted, total); };
    for (int copy = 0; copy < copies && !out.cancelled; ++copy) {
        for (int p = from; p <= to; ++p) {
            if (stopAsked()) {
                out.cancelled = true;
                break;
            }
            if (out.pagesPrinted > 0)
                target.newPage();
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
        target.abort();
    painter.end();
    if (progress && !out.cancelled)
        progress(out.pagesPrinted, total);
    return out;
}

} // namespace kamelo
