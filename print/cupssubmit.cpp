#include "cupssubmit.h"

#include <QFile>
#include <QPageLayout>
#include <QPrintEngine>
#include <QPrinter>
#include <QStringList>

#include <cups/cups.h>

namespace kamelo {

namespace {

// Where Qt's print dialog keeps the queue's own options (name, value, ...)
// on the printer's engine.
constexpr auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

const char* sides(const QPrinter& printer) {
    switch (printer.duplex()) {
    case QPrinter::DuplexAuto:
        return printer.pageLayout().orientation() == QPageLayout::Portrait ? "two-sided-long-edge"
                                                                           : "two-sided-short-edge";
    case QPrinter::DuplexLongSide:
        return "two-sided-long-edge";
    case QPrinter::DuplexShortSide:
        return "two-sided-short-edge";
    case QPrinter::DuplexNone:
        break;
    }
    return "one-sided";
}

} // namespace

int CupsSubmit::submit(const QPrinter& printer, const QString& pdfPath, const QString& title,
                       QString& error) {
    int count = 0;
    cups_option_t* options = nullptr;
    auto add = [&](const QByteArray& name, const QByteArray& value) {
        count = cupsAddOption(name.constData(), value.constData(), count, &options);
    };
    add("media", printer.pageLayout().pageSize().key().toUtf8());
    // The document was painted once when the printer makes the copies.
    const int copies = printer.supportsMultipleCopies() ? printer.copyCount() : 1;
    if (copies > 1) {
        add("copies", QByteArray::number(copies));
        if (printer.collateCopies())
            add("Collate", "True");
    }
    add("sides", sides(printer));
    if (printer.pageLayout().orientation() == QPageLayout::Landscape)
        add("landscape", "");
    const QStringList own = printer.printEngine()->property(kCupsOptions).toStringList();
    for (qsizetype i = 0; i + 1 < own.size(); i += 2)
        add(own[i].toUtf8(), own[i + 1].toUtf8());
    const int job = cupsPrintFile(printer.printerName().toUtf8().constData(),
                                  QFile::encodeName(pdfPath).constData(),
                                  title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0)
        error = QString::fromUtf8(cupsLastErrorString());
    return job > 0 ? job : 0;
}

} // namespace kamelo
