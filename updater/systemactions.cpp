#include "updater/systemactions.h"

#include "updater/installscript.h"
#include "updater/paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vela {

bool startDetachedProcess(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The grandchild reports a failed exec through the pipe; the pipe closes
    // without a word when the exec succeeds.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, 0);
                if (null > 0)
                    ::close(null);
            }
            ::execvp(args[0], args.data());
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

std::string autostartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"))
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return joinPath(base, "autostart");
}

std::string autostartEntryPath(const std::string& scriptPath) {
    // FNV-1a of the script's path: one entry per script, as one registry
    // value per script.
    uint32_t hash = 2166136261u;
    for (unsigned char c : scriptPath)
        hash = (hash ^ c) * 16777619u;
    char name[64];
    std::snprintf(name, sizeof name, "vela-update-once-%08x.desktop", hash);
    return joinPath(autostartFolder(), name);
}

std::string desktopExecArgument(const std::string& argument) {
    // Quoting rule of the Exec key first, then the string escapes of the
    // file, then "%" doubled for the field codes.
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string autostartLauncherPath(const std::string& scriptPath) {
    std::string entry = autostartEntryPath(scriptPath);
    return entry.substr(0, entry.size() - std::string(".desktop").size()) + ".sh";
}

std::string autostartLauncherText(const std::string& entryPath, const std::string& scriptPath) {
    // The entry and the launcher go first, so that the script runs once even
    // when it fails or the session ends while it runs.
    const ScriptDialect sh = ScriptDialect::Posix;
    return "#!/bin/sh\nrm -f -- " + scriptQuoted(sh, entryPath) + " \"$0\"\nexec /bin/sh " +
           scriptQuoted(sh, scriptPath) + "\n";
}

std::string autostartEntryText(const std::string& launcherPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=VELA UPDATE\n"
           "Exec=" +
           desktopExecArgument("/bin/sh") + " " + desktopExecArgument(launcherPath) +
           "\n"
           "NoDisplay=true\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool PosixSystemActions::startDetached(const std::vector<std::string>& argv) {
    return startDetachedProcess(argv);
}

bool PosixSystemActions::runAtNextLogon(const std::string& scriptPath) {
    const std::string folder = autostartFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string entry = autostartEntryPath(scriptPath);
    const std::string launcher = autostartLauncherPath(scriptPath);
    const std::string partial = entry + ".part~";
    ::unlink(partial.c_str());
    ::unlink(launcher.c_str());
    if (!appendToScript(launcher, autostartLauncherText(entry, scriptPath)) ||
        !appendToScript(partial, autostartEntryText(launcher)))
        return false;
    ::chmod(partial.c_str(), 0644);
    return ::rename(partial.c_str(), entry.c_str()) == 0;
}

bool PosixSystemActions::requestReboot() {
    return startDetachedProcess({"systemctl", "reboot"});
}

} // namespace vela
