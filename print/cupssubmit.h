#pragma once

#include <QString>

class QPrinter;

namespace kamelo {

// Hands a finished PDF file to a CUPS queue with the settings of a printer
// configured for that queue (the platform's print dialog may have set them):
// paper, copies, collation, sides, orientation and the queue's own options.
// The job's name goes to CUPS as UTF-8.
class CupsSubmit {
public:
    // The CUPS job id, or 0 with the scheduler's reason in error.
    static int submit(const QPrinter& printer, const QString& pdfPath, const QString& title,
                      QString& error);
};

} // namespace kamelo
