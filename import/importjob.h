#pragma once

#include "import/core/acquirenaming.h"
#include "import/core/clashstate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kamelo::acquire {

// Sources that are not files on a mounted disk (a camera's storage): each is
// brought into a local file just before it is imported, and its original
// deleted only through the fetcher.
class SourceFetcher {
public:
    enum class Fetch { Ready, Failed, Gone };
    virtual ~SourceFetcher() = default;
    // Puts source index in a local file (path) that keeps its name; Gone
    // when the device itself is no longer there, which ends the run.
    virtual Fetch fetch(size_t index, std::string& path, std::string& reason) = 0;
    // The local file of index is no longer needed.
    virtual void release(size_t index) = 0;
    // The run copies nothing more.
    virtual void finished() {}
    virtual bool removeOriginal(size_t index, std::string& reason) = 0;
};

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
    // A file whose size and checksum are those of a file already in the
    // destination folder is not copied again.
    bool skipImported = false;
    // Null for files on a disk; held by the run, which may outlive its window.
    std::shared_ptr<SourceFetcher> fetcher;
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
    int alreadyImported = 0; // of skipped, those already in the destination
    bool deviceGone = false; // the camera went away part-way
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
