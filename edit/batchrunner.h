#pragma once

#include "batchjob.h"
#include "edit/core/overwritestate.h"

#include <atomic>
#include <string>

namespace kamelo::edit {

// What happened to one source file.
struct FileOutcome {
    enum class Kind { Written, Skipped, Failed };
    Kind kind = Kind::Failed;
    std::string destination;
    std::string reason; // Korean, for Failed
    std::string note;   // Korean, for Written: how it was written, when that is worth saying
};

struct BatchSummary {
    int written = 0;
    int skipped = 0;
    int failed = 0;
    bool cancelled = false;
    bool folderFailed = false; // the destination folder could not be made
    bool complete() const { return !cancelled && !folderFailed; }
};

// How a run reports; called on the thread that runs it.
class BatchEvents {
public:
    virtual ~BatchEvents() = default;
    virtual void started(int /*count*/) {}
    // The file at index (0-based) is in work now.
    virtual void begun(int /*index*/, const std::string& /*source*/) {}
    // How far the file in work has come, 0..100 (only when it changes).
    virtual void progressed(int /*percent*/) {}
    virtual void written(const std::string& /*source*/, const std::string& /*destination*/) {}
    // A remark on a file just written (for its log line).
    virtual void noted(const std::string& /*source*/, const std::string& /*note*/) {}
    virtual void failed(const std::string& /*source*/, const std::string& /*reason*/) {}
    // The destination folder could not be made; the run stops.
    virtual void folderFailed(const std::string& /*folder*/, const std::string& /*reason*/) {}
    // An existing destination; only asked when the job asks and no
    // "all" answer was given. Closed when the question could not be put.
    virtual OverwriteAnswer askOverwrite(const std::string& destination) = 0;
};

// The loop every batch operation shares: for each source, pick the
// destination, ask before replacing, load, run the pixel step and write by
// the output's extension (or the conversion's format). A file that fails is
// reported and left as it was; the run goes on with the next.
class BatchRunner {
public:
    explicit BatchRunner(BatchJob job);

    // Runs all files in order; stop is read before each file.
    BatchSummary run(BatchEvents& events, const std::atomic<bool>& stop);

    // The pieces, for runs that spread files over threads.
    std::string destinationOf(size_t index) const;
    // Makes the destination folder of a folder-mode run; "" or the reason.
    std::string prepareFolder() const;
    // One file; ask decides on an existing destination. progress hears how
    // far it has come: the decode's rows up to half, the write the rest.
    FileOutcome processFile(size_t index, const std::function<bool(const std::string&)>& ask,
                            const FileProgress& progress = {}) const;

    const BatchJob& job() const { return job_; }

private:
    BatchJob job_;
    OverwriteState overwrite_;
};

} // namespace kamelo::edit
