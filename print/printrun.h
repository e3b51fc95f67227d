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
        bool started = false; // the printer could be opened (and the job handed on)
        bool cancelled = false;
        int pagesPrinted = 0;
        std::vector<std::string> failed; // each unreadable picture once
        std::string error;               // why it did not start, when known
    };
    using Progress = std::function<bool(int done, int total)>;

    // The printer's document name is the job's title. A CUPS queue is sent
    // a PDF written in tempFolder (the system's when empty) and removed
    // once the scheduler has it.
    static Outcome run(QPrinter& printer, const PrintJob& job, PictureReader& reader,
                       const Progress& progress = {}, const std::string& tempFolder = {});

private:
    // Paints the job on target with the paper, range and copies of printer.
    static Outcome paint(QPrinter& target, const QPrinter& printer, const PrintJob& job,
                         PictureReader& reader, const Progress& progress);
};

} // namespace kamelo
