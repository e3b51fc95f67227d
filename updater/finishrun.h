#pragma once

#include "updater/installer.h"
#include "updater/systemactions.h"

#include <string>
#include <vector>

namespace vela {

// What ending a run asks of the window.
class FinishHost {
public:
    virtual ~FinishHost() = default;
    // The reboot question: Yes (true) or No.
    virtual bool askRebootNow(const std::string& message) = 0;
    // A modal message with OK.
    virtual void showMessage(const std::string& message) = 0;
    // Stops downloads and removes the temporary files.
    virtual void cleanup() = 0;
    // Closes the window: true for the OK result.
    virtual void closeRun(bool ok) = 0;
};

struct FinishContext {
    std::string installFolder;
    ScriptDialect dialect = nativeScriptDialect();
    // The stored file list ("RUN_AFTER_UPDATE" is read from it).
    std::string localFileList;
    std::string programToRestart;
};

// Ends a run: the reboot script registered for the next logon and the
// reboot question; then the update script started, or the program to
// restart, or "RUN_AFTER_UPDATE".
void finishRun(const FinishContext& context, const InstallState& state, FinishHost& host,
               SystemActions& system);

// The program line that restarts the updater after it replaced itself: a
// fresh "~temp." copy of the new updater when the plan replaced it (else
// the running program), followed by the updater's own arguments. Empty when
// the copy cannot be made.
std::vector<std::string> selfRestartCommand(const UpdatePlan& plan,
                                            const std::string& installFolder,
                                            const std::string& ownProgram,
                                            const std::vector<std::string>& ownArguments);

// The arguments to start a script of the dialect.
std::vector<std::string> scriptCommand(ScriptDialect dialect, const std::string& scriptPath);

} // namespace vela
