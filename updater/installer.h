#pragma once

#include "updater/installscript.h"
#include "updater/updateplan.h"

#include <functional>
#include <string>
#include <vector>

namespace vela {

// What installing asks of the window that runs the update.
class InstallHost {
public:
    virtual ~InstallHost() = default;
    // A file cannot be put in place: OK (true) tries again, Cancel ends the run.
    virtual bool askWriteRetry(const std::string& message) = 0;
    // Starts a configured command line without waiting for it.
    virtual void runCommand(const std::string& commandLine) = 0;
};

// The scripts written in this run (all 0 at start).
struct InstallState {
    int updateBlocks = 0;
    int rebootBlocks = 0;
    bool updateScriptWritten = false;
    bool rebootScriptWritten = false;
};

struct InstallContext {
    std::string installFolder;
    std::string tempFolder;
    ScriptDialect dialect = nativeScriptDialect();
    // Called after each entry is handled (the crash-recovery tests stop here).
    std::function<void(size_t)> afterEntry;
};

struct InstallOutcome {
    bool completed = false;
    // Cancelled: the path names not installed, in plan order.
    std::vector<std::string> notUpdated;
};

// The downloaded copy of an entry: temporary folder + path name.
std::string downloadedFileOf(const std::string& tempFolder, const UpdateEntry& entry);

// Puts every downloaded file of the plan in place by its update type: now,
// or as a complete ".new" side file completed by the update script (type 0)
// or by the reboot script at the next logon (type 2).
InstallOutcome installAll(const UpdatePlan& plan, const InstallContext& context,
                          InstallState& state, InstallHost& host);

} // namespace vela
