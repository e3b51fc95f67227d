#pragma once

#include "import/core/clashstate.h"
#include "import/core/contentsum.h"
#include "importjob.h"

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kamelo::acquire {

// The copy loop of an import run, without windows: for each file, name it,
// settle a clash, turn it upright when asked or copy it, check what was
// written, and only then count it as imported. Sources are deleted at the
// end, and only those whose copy was written and checked and whose name
// still names the file that was read.
//
// A destination is compared with the sources as files (device and inode,
// links followed or not), never by name: a file whose destination is the
// source itself is neither written nor deleted, and a clash with another
// source of the run is never settled by replacing it, whatever the answer
// to the clash question; the copy takes a free name instead. Both are
// reported as notes.
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
    enum class Result { Imported, Turned, Skipped, Already, Failed, Stop, Cancelled, Gone };
    using FileId = std::pair<uint64_t, uint64_t>; // device and inode
    struct Source;
    struct Head {
        std::string date;
        int orientation = 1;
    };

    Result importOne(size_t index, ImportEvents& events, const std::atomic<bool>& stop,
                     std::string& destination, std::string& reason);
    Head readHead(const uint8_t* data, size_t size) const;
    // Reads the source on into buffer_ until size bytes of it are there (or
    // its end); 0 or an errno.
    int readHeadTo(Source& src, size_t size);
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
    // Whether a file of the destination folder has the bytes of src.
    bool alreadyThere(const Source& src);
    void noteKnown(const std::string& path);
    // Whether path, as it is or through a link, is one of ids; exists, when
    // given, tells whether path names anything at all.
    static bool names(const std::string& path, const std::set<FileId>& ids, bool* exists = nullptr);
    void note(ImportEvents& events, const std::string& source, std::string text);
    // Deletes the sources copied, each only while its name still names
    // the file that was read.
    void deleteSources(const std::vector<size_t>& checked, const std::atomic<bool>& detached,
                       ImportSummary& summary) const;

    ImportJob job_;
    CopyHooks hooks_;
    ClashState clash_;
    std::vector<uint8_t> buffer_;
    // Every source of the run and what links name: those read so far, all
    // of them once allSources() was asked.
    const std::set<FileId>& allSources();
    std::set<FileId> sources_;
    bool sourcesIndexed_ = false;
    std::vector<FileId> sourceEntries_; // per source: what its name named when read
    std::vector<ImportFailure> notes_;
    // The destination's files by size, read once when asked to skip files
    // already imported, with the checksums worked out so far.
    bool indexed_ = false;
    std::multimap<uint64_t, std::string> known_;
    std::map<std::string, std::pair<uint64_t, uint64_t>> knownSums_;
};

} // namespace kamelo::acquire
