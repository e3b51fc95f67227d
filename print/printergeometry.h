#pragma once

#include "print/core/pagegeometry.h"

#include <QString>

#include <optional>

class QPrinter;
class QPrinterInfo;

namespace kamelo {

// The printer and paper the dialog shows.
struct PrinterPage {
    QString printerName;
    QString formName; // Qt's name of the paper size, in Korean where Qt has it
    PageGeometry geometry;
};

// Where the dialog takes the page from: the default printer, or in tests a
// fixed page.
class PageGeometrySource {
public:
    virtual ~PageGeometrySource() = default;
    // Nothing when no printer is installed.
    virtual std::optional<PrinterPage> currentPage() = 0;
};

class PrinterGeometry : public PageGeometrySource {
public:
    std::optional<PrinterPage> currentPage() override;

    // The default printer, or the first one when none is the default; null
    // when no printer is installed.
    static std::optional<QPrinterInfo> defaultPrinter();
    // The paper of a configured printer (or PDF writer): its size and
    // unprintable edges, truncated to whole millimetres.
    static PageGeometry of(const QPrinter& printer);
    static PrinterPage describe(const QPrinter& printer);
};

} // namespace kamelo
