#pragma once

#include "print/printjob.h"

#include <functional>
#include <string>
#include <vector>

class QPrinter;

namespace kamelo {

class PictureReader;

// Prints a job on a configured printer or PDF writer: the layout is made for
// that printer's paper, the printer's page range and copies are honoured.
// It may run on a worker thread; progress is told through the callback,
// which returns false to cancel.
class PrintRun {
public:
    struct Outcome {
        bool started = false; // the printer could be opened
        bool cancelled = false;
        int pagesPrinted = 0;
        std::vector<std::string> failed; // each unreadable picture once
    };
    using Progress = std::function<bool(int done, int total)>;

    static Outcome run(QPrinter& printer, const PrintJob& job, PictureReader& reader,
                       const Progress& progress = {});
};

} // namespace kamelo
