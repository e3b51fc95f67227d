#pragma once

#include "import/core/acquirenaming.h"
#include "import/core/clashstate.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kamelo::acquire {

// One import run: the checked files in list order and where they go.
struct ImportJob {
    std::vector<std::string> sources;
    std::string folder; // the destination folder; it exists
    NamingOptions naming;
    // Names made beforehand (same order as sources); when empty they are
    // made while copying, the date-taken rule reading the camera date from
    // the bytes read for the copy.
    std::vector<std::string> names;
    bool autoRotate = true;
    bool deleteSource = false;
    bool mayDelete = true; // false for a CD-ROM
};

struct ImportFailure {
    std::string source;
    std::string reason; // Korean
};

struct ImportSummary {
    int total = 0;
    int imported = 0; // written and checked
    int turned = 0;   // of those, turned upright
    int skipped = 0;  // at a clash
    int failed = 0;
    int notReached = 0; // after a stop or a cancel
    int deleted = 0;
    int deleteFailed = 0;
    bool stoppedAtClash = false;
    bool cancelled = false;
    std::vector<ImportFailure> failures; // copy and delete failures
    // What the run did otherwise than asked, and why (a source that is its
    // own destination, a source's name not overwritten).
    std::vector<ImportFailure> notes;
    std::vector<std::string> written; // destinations, in order
    bool complete() const { return imported == total && failed == 0 && deleteFailed == 0; }
};

// How a run reports; called on the thread that runs it.
class ImportEvents {
public:
    virtual ~ImportEvents() = default;
    virtual void started(int /*count*/) {}
    // The file going to destination is being written.
    virtual void copying(const std::string& /*source*/, const std::string& /*destination*/) {}
    virtual void written(const std::string& /*source*/, const std::string& /*destination*/) {}
    virtual void failed(const std::string& /*source*/, const std::string& /*reason*/) {}
    // The file was skipped or written under another name to keep a source.
    virtual void noted(const std::string& /*source*/, const std::string& /*text*/) {}
    // The first clash with a file that was there before the run.
    virtual ClashChoice askClash(const std::string& existing, const std::string& source) = 0;
};

// For tests: a write fault injected after offset bytes of a file were
// written (returns an errno, or 0 to go on).
struct CopyHooks {
    std::function<int(const std::string& destination, uint64_t offset)> writeFault;
};

} // namespace kamelo::acquire
