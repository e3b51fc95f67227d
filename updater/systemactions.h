#pragma once

#include <string>
#include <vector>

namespace vela {

// What the updater asks of the system when it ends a run. Tests replace it,
// so that nothing they run can reboot the machine.
class SystemActions {
public:
    virtual ~SystemActions() = default;
    // Starts a program with its arguments as a process of its own, without a
    // shell, and returns once it runs (false when it could not be started).
    virtual bool startDetached(const std::vector<std::string>& argv) = 0;
    // Runs a script once at the next logon (the entry removes itself).
    virtual bool runAtNextLogon(const std::string& scriptPath) = 0;
    // Asks the system to reboot.
    virtual bool requestReboot() = 0;
};

// Starts `argv` detached from this process; true once the program runs.
bool startDetachedProcess(const std::vector<std::string>& argv);

// The freedesktop autostart folder ($XDG_CONFIG_HOME/autostart).
std::string autostartFolder();
// The autostart entry that runs `scriptPath` once: it starts a launcher
// script beside it that deletes the entry and itself first and then runs
// the script with /bin/sh. Both files are named after the script.
std::string autostartEntryPath(const std::string& scriptPath);
std::string autostartLauncherPath(const std::string& scriptPath);
std::string autostartLauncherText(const std::string& entryPath, const std::string& scriptPath);
std::string autostartEntryText(const std::string& launcherPath);
// One argument of a desktop entry's Exec key, quoted and escaped.
std::string desktopExecArgument(const std::string& argument);

// The real system: detached processes, an XDG autostart entry, and a
// reboot through logind ("systemctl reboot").
class PosixSystemActions : public SystemActions {
public:
    bool startDetached(const std::vector<std::string>& argv) override;
    bool runAtNextLogon(const std::string& scriptPath) override;
    bool requestReboot() override;
};

} // namespace vela
