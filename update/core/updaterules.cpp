#include "updaterules.h"

#include "updater/profile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kamelo::update {

bool UpdateRules::throttled(double now, double last) {
    return std::fabs(now - last) < kThrottleSeconds;
}

std::string UpdateRules::formatCheckTime(double now) {
    char text[64];
    std::snprintf(text, sizeof text, "%.f", now);
    return text;
}

double UpdateRules::parseCheckTime(const std::string& text) {
    if (text.empty())
        return 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return std::isfinite(v) ? v : 0;
}

namespace {
std::string version(const std::string& path, const char* key) {
    vela::ProfileFile profile;
    profile.load(path);
    std::string v = profile.text("GENERAL", key, kNotFound);
    if (v.size() > kVersionBytes)
        v.resize(kVersionBytes);
    return v;
}
} // namespace

VersionComparison UpdateRules::compareVersions(const std::string& listPath,
                                               const std::string& iniPath) {
    VersionComparison c;
    c.published = version(listPath, "MAIN_VERSION");
    c.installed = version(iniPath, "VERSION");
    if (c.published == kNotFound)
        c.outcome = VersionOutcome::Missing;
    else
        c.outcome = c.published == c.installed ? VersionOutcome::Same : VersionOutcome::Different;
    return c;
}

std::string UpdateRules::launcherParameter(const std::string& command) {
    return "<KNLAUNCHER_PARAM Command='" + command +
           "'  AgentName='Kamelo2.2.1.0' ProgramID='Kamelo' SilentMessage='1' AutoInstall='0' />";
}

} // namespace kamelo::update
