#include "updater/installscript.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vela {

namespace {

// Batch files are written in text mode, where every "\n" is stored as CR LF.
std::string inDialect(ScriptDialect dialect, const std::string& text) {
    if (dialect != ScriptDialect::Windows)
        return text;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace

ScriptDialect nativeScriptDialect() {
#ifdef _WIN32
    return ScriptDialect::Windows;
#else
    return ScriptDialect::Posix;
#endif
}

std::string updateScriptName(ScriptDialect dialect) {
    return dialect == ScriptDialect::Windows ? "UP.BAT" : "UP.sh";
}

std::string rebootScriptName(ScriptDialect dialect) {
    return dialect == ScriptDialect::Windows ? "REBOOT.BAT" : "REBOOT.sh";
}

std::string scriptQuoted(ScriptDialect dialect, const std::string& path) {
    if (dialect == ScriptDialect::Windows)
        return "\"" + path + "\"";
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string updateScriptBlock(ScriptDialect dialect, int n, const std::string& target,
                              const std::string& side) {
    const std::string t = scriptQuoted(dialect, target);
    const std::string s = scriptQuoted(dialect, side);
    std::string text;
    if (dialect == ScriptDialect::Windows) {
        const std::string loop = "LOOP" + std::to_string(n);
        const std::string end = "END" + std::to_string(n);
        if (n == 0)
            text += "@echo off\n";
        text += "if exist " + s + " goto " + loop + " \n";
        text += "goto " + end + "\n";
        text += "\n";
        text += ":" + loop + "\n";
        text += "del " + t + "\n";
        text += "if exist " + t + " goto " + loop + "\n";
        text += "copy " + s + " " + t + "\n";
        text += "del " + s + " \n";
        text += ":" + end + "\n";
        text += "\n\n\n";
        return inDialect(dialect, text);
    }
    // The holder of the old file keeps a lock on it; the loop waits until it
    // lets go. The rename puts the complete side file in place in one step.
    if (n == 0)
        text += "#!/bin/sh\n";
    text += "if [ -e " + s + " ]; then\n";
    text += "  while [ -e " + t + " ] && ! flock -n " + t + " true 2>/dev/null; do sleep 1; done\n";
    text += "  mv -f " + s + " " + t + "\n";
    text += "fi\n";
    text += "\n\n\n";
    return text;
}

std::string rebootScriptBlock(ScriptDialect dialect, int m, const std::string& target,
                              const std::string& side) {
    const std::string t = scriptQuoted(dialect, target);
    const std::string s = scriptQuoted(dialect, side);
    std::string text;
    if (dialect == ScriptDialect::Windows) {
        if (m == 0)
            text += "@echo off\n";
        text += "del " + t + "\n";
        text += "copy " + s + " " + t + "\n";
        text += "del " + s + "\n";
        text += "\n\n";
        return inDialect(dialect, text);
    }
    // Guarded so that a second run never deletes the installed file.
    if (m == 0)
        text += "#!/bin/sh\n";
    text += "if [ -e " + s + " ]; then\n";
    text += "  mv -f " + s + " " + t + "\n";
    text += "fi\n";
    text += "\n\n";
    return text;
}

std::string scriptCommandLine(ScriptDialect dialect, const std::string& command) {
    return inDialect(dialect, command + "\n");
}

std::string scriptFramedCommand(ScriptDialect dialect, const std::string& command) {
    return inDialect(dialect, "\n" + command + "\n");
}

std::string scriptEnding(ScriptDialect dialect) {
    if (dialect == ScriptDialect::Windows)
        return inDialect(dialect, "\ndel %0");
    return "\nrm -f -- \"$0\"\n";
}

bool appendToScript(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0755);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace vela
