#pragma once

#include "tests/support/scratchdir.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kamelo::test {

struct CliResult {
    int code;
    std::string out;
};

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Which of kamelo-cli's streams a run keeps; the others are dropped.
enum class CliStreams { Out, Errors, Both };

// Runs kamelo-cli with XDG_CONFIG_HOME pointing into the scratch folder;
// with a time limit, `timeout` turns a hang into exit code 124.
// env: more NAME=VALUE words for kamelo-cli's environment.
inline CliResult runCli(const ScratchDir& dir, const std::vector<std::string>& args,
                        CliStreams keep = CliStreams::Out, int timeoutSeconds = 0,
                        const std::string& env = {}) {
    std::string cmd = "XDG_CONFIG_HOME=" + shellQuote(dir.file("config")) + " " + env + " ";
    if (timeoutSeconds > 0)
        cmd += "timeout " + std::to_string(timeoutSeconds) + " ";
    cmd += shellQuote(KAMELO_CLI);
    for (const auto& a : args)
        cmd += " " + shellQuote(a);
    cmd += keep == CliStreams::Out      ? " 2>/dev/null"
           : keep == CliStreams::Errors ? " 2>&1 >/dev/null"
                                        : " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// kamelo-cli's exit code and standard output.
inline CliResult cli(const ScratchDir& dir, const std::vector<std::string>& args) {
    return runCli(dir, args);
}

} // namespace kamelo::test
