#pragma once

#include "import/core/clashstate.h"
#include "import/core/contentsum.h"
#include "importjob.h"

#include <atomic>
#include <string>
#include <vector>

namespace kamelo::acquire {

// The copy loop of an import run, without windows: for each file, name it,
// settle a clash, turn it upright when asked or copy it, check what was
// written, and only then count it as imported. Sources are deleted at the
// end, and only those whose copy was written and checked.
class ImportCopier {
public:
    explicit ImportCopier(ImportJob job, CopyHooks hooks = {});

    // stop is read between files and between blocks of a file; detached is
    // set by a caller that no longer waits for the run: then no source is
    // deleted.
    ImportSummary run(ImportEvents& events, const std::atomic<bool>& stop,
                      const std::atomic<bool>& detached);

    const ImportJob& job() const { return job_; }

private:
    enum class Result { Imported, Turned, Skipped, Failed, Stop, Cancelled };
    struct Source;
    struct Head {
        std::string date;
        int orientation = 1;
    };

    Result importOne(size_t index, ImportEvents& events, const std::atomic<bool>& stop,
                     std::string& destination, std::string& reason);
    Head readHead(const uint8_t* data, size_t size) const;
    // Writes bytes (all in memory) or the source's stream to a temporary
    // file and puts it at destination; 0 or an errno, or -1 with reason set.
    Result writeTurned(Source& src, const std::string& target, bool replace, int orientation,
                       std::string& placed, std::string& reason);
    Result copyPlain(Source& src, const std::string& target, bool replace,
                     const std::atomic<bool>& stop, std::string& placed, std::string& reason);
    Result placeChecked(const std::string& temp, const std::string& target, bool replace,
                        std::string& placed, std::string& reason);
    enum class KernelCopy { Done, Unsupported, Failed, Cancelled };
    // Copies the whole source in the kernel; written counts the bytes.
    KernelCopy kernelCopy(Source& src, int fd, const std::string& target,
                          const std::atomic<bool>& stop, uint64_t& written);
    int writeChecked(int fd, const std::string& target, uint64_t offset, const uint8_t* data,
                     size_t size);

    ImportJob job_;
    CopyHooks hooks_;
    ClashState clash_;
    std::vector<uint8_t> buffer_;
};

} // namespace kamelo::acquire
