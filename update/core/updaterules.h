#pragma once

#include <cstdint>
#include <string>

namespace kamelo::update {

inline constexpr const char* kListFile = "vufilelist.ini";
inline constexpr const char* kIniFile = "kamelo.ini";
inline constexpr const char* kUpdater = "VelaUpdate";
inline constexpr const char* kTempUpdater = "temp.VelaUpdate";
inline constexpr const char* kLauncher = "KnLauncher";
inline constexpr const char* kLauncherCopy = "KnLauncher.bak";
inline constexpr const char* kNotFound = "NOT FOUND";
inline constexpr const char* kAgent = "HttpGetFile";
inline constexpr const char* kLastCheckKey = "Last Version Check";
// A check within this many seconds of the last one, either way, is skipped.
inline constexpr double kThrottleSeconds = 21600;
// The versions are read like a 260-byte buffer would hold them.
inline constexpr size_t kVersionBytes = 259;
inline constexpr size_t kMaxUrlChars = 999;
inline constexpr size_t kMaxAgentChars = 99;
// The list is read only up to this size; a server sending more is cut off
// there instead of filling the program's folder.
inline constexpr int64_t kMaxListBytes = 16 * 1024 * 1024;

enum class VersionOutcome {
    Missing,   // no published version in the downloaded list
    Same,      // nothing to update
    Different, // any difference offers the update
};

struct VersionComparison {
    VersionOutcome outcome = VersionOutcome::Missing;
    std::string published;
    std::string installed;
};

class UpdateRules {
public:
    // Whether a start-up check at `now` is skipped after one at `last`
    // (seconds since 1970): strictly within six hours on either side, so a
    // clock set back does not stop checks for good.
    static bool throttled(double now, double last);
    // The stored form of a check time: whole seconds, "%.f".
    static std::string formatCheckTime(double now);
    // The stored text back as seconds; 0 for anything that is not a number.
    static double parseCheckTime(const std::string& text);

    // "MAIN_VERSION" of [GENERAL] in the downloaded list against "VERSION"
    // of [GENERAL] in kamelo.ini, compared byte for byte (there is no
    // ordering of versions: 1.2.0.9 against 1.2.0.10 is an update).
    static VersionComparison compareVersions(const std::string& listPath,
                                             const std::string& iniPath);

    // The launcher's parameter for a command (two blanks before AgentName).
    static std::string launcherParameter(const std::string& command);
    // Only the launcher's codes 40, 41 and 42 offer an update.
    static bool launcherCodeLeadsOn(int code) { return code >= 40 && code <= 42; }
};

} // namespace kamelo::update
