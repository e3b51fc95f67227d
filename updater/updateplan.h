#pragma once

#include "updater/serverlist.h"
#include "updater/updateentry.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vela {

// What building the plan asks of the window that runs the update. The
// window of the run flow implements it; `--plan` and the tests have their
// own.
class PlanHost {
public:
    virtual ~PlanHost() = default;
    // An entry that is refused and never written (its reason, in Korean).
    virtual void entryRefused(const std::string& pathName, const std::string& message) = 0;
    // The updater updates itself first: the three step labels change.
    virtual void setStepLabels(const std::string& first, const std::string& second,
                               const std::string& third) = 0;
    // A file to replace cannot be written: OK (true) tries again, Cancel
    // (false) ends the run.
    virtual bool askWriteRetry(const std::string& message) = 0;
    virtual void endRun() = 0;
    // Nothing to update: the notice, then the finishing step.
    virtual void showNoUpdateNotice(const std::string& message) = 0;
    virtual void finish() = 0;
};

struct UpdatePlan {
    std::vector<UpdateEntry> entries;
    // "DEST_PATH" (HTTP) or "FTP_DEST_PATH" (FTP): put before each server name.
    std::string destPrefix;
    std::string runAfterUpdate;
    bool selfUpdate = false;
    // The run was ended at the write check.
    bool cancelled = false;
    size_t nextDownload = 0;
};

struct PlanOptions {
    // Create the entries' sub-folders and run the write check; `--plan`
    // turns both off so that it changes nothing.
    bool createSubFolders = true;
    bool writeCheck = true;
};

// A list with more file sections than this is refused as unusable.
inline constexpr uint32_t kMaxFileCount = 100000;

// Where the fetched file list is kept: temporary folder + the file-name part
// of its location.
std::string localFileListPath(const std::string& tempFolder, const std::string& location);

// The installed file an entry replaces.
std::string destinationOf(const std::string& installFolder, const UpdateEntry& entry);

// True for the updater's own files, which it replaces first and alone.
bool isUpdaterFile(const std::string& pathName);

// Reads the stored file list and keeps the files whose installed copy
// differs. False when the list is unusable (missing, too large, or
// "FILE_COUNT" 0); true otherwise, also when the plan ends up empty (the
// host has then shown the notice and finished) or the run was cancelled.
bool buildPlan(const std::string& listPath, const std::string& installFolder, TransportMode mode,
               UpdatePlan& plan, PlanHost& host, PlanOptions options = {});

} // namespace vela
