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

// Runs kamelo-cli with XDG_CONFIG_HOME pointing into the scratch folder.
inline CliResult cli(const ScratchDir& dir, const std::vector<std::string>& args) {
    std::string cmd = "XDG_CONFIG_HOME=" + shellQuote(dir.file("config")) + " " + KAMELO_CLI;
    for (const auto& a : args)
        cmd += " " + shellQuote(a);
    cmd += " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

} // namespace kamelo::test
