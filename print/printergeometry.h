#pragma once

#include "print/core/pagegeometry.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

class QPrinter;
class QPrinterInfo;

namespace kamelo {

// The printer and paper the dialog shows.
struct PrinterPage {
    QString printerName;
    QString formName; // Qt's name of the paper size, in Korean where Qt has it
    QString paperKey; // the paper's key ("A4", "Letter"): the media of the job
    PageGeometry geometry;
};

// Where the dialog takes the page from: the default printer, or in tests a
// fixed page.
class PageGeometrySource {
public:
    virtual ~PageGeometrySource() = default;
    // Nothing when no printer is installed.
    virtual std::optional<PrinterPage> currentPage() = 0;
    // The printers to choose from, and the papers (key, name) of one; a
    // fixed source offers only its own.
    virtual QStringList printers() { return {}; }
    virtual QList<std::pair<QString, QString>> papers(const QString& printer) {
        (void)printer;
        return {};
    }
    // The page of a printer with a paper of its (an empty key: the printer's
    // own default paper); nothing when the printer is gone.
    virtual std::optional<PrinterPage> page(const QString& printer, const QString& paperKey) {
        (void)printer;
        (void)paperKey;
        return std::nullopt;
    }
};

class PrinterGeometry : public PageGeometrySource {
public:
    std::optional<PrinterPage> currentPage() override;
    QStringList printers() override;
    QList<std::pair<QString, QString>> papers(const QString& printer) override;
    std::optional<PrinterPage> page(const QString& printer, const QString& paperKey) override;

    // Makes printer print on the named queue with one of its papers (an
    // empty key: the queue's own default paper, as its PPD says). False when
    // there is no such printer.
    static bool choose(QPrinter& printer, const QString& name, const QString& paperKey = {});

    // The default printer, or the first one when none is the default; null
    // when no printer is installed.
    static std::optional<QPrinterInfo> defaultPrinter();
    // The paper of a configured printer (or PDF writer): its size and
    // unprintable edges, truncated to whole millimetres.
    static PageGeometry of(const QPrinter& printer);
    static PrinterPage describe(const QPrinter& printer);
};

} // namespace kamelo
