#include "xfcewallpaperbackend.h"

#include "fieldescape.h"

#include "desktop/core/wallpaperrules.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cstdlib>
#include <regex>
#include <set>

namespace kamelo::desktop {

namespace {

const char* const kTool = "xfconf-query";
const char* const kNativeTag = "xfce\n";
constexpr int kToolMs = 10000;
// A desktop has a handful of monitors and workspaces; more is not a desktop.
constexpr size_t kMaxBackdrops = 4096;

// Runs xfconf-query on the desktop channel; false with the reason when it
// cannot start, hangs or fails.
bool query(const QStringList& args, std::string& out, std::string& error) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QString::fromLatin1(kTool),
            QStringList{QStringLiteral("-c"), QStringLiteral("xfce4-desktop")} + args);
    if (!p.waitForStarted(kToolMs)) {
        error = std::string(kTool) + ": " + p.errorString().toStdString();
        return false;
    }
    if (!p.waitForFinished(kToolMs)) {
        p.kill();
        p.waitForFinished(kToolMs);
        error = std::string(kTool) + ": timed out";
        return false;
    }
    out = p.readAllStandardOutput().toStdString();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = std::string(kTool) + " " + args.join(QLatin1Char(' ')).toStdString() + ": " +
                p.readAllStandardError().trimmed().toStdString();
        return false;
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return true;
}

// One property as it was: absent, or its value.
struct Saved {
    std::string property;
    bool present = false;
    std::string value;
};

std::vector<Saved> parseNative(const std::string& native) {
    std::vector<Saved> out;
    if (native.rfind(kNativeTag, 0) != 0)
        return out;
    size_t start = std::string(kNativeTag).size();
    while (start < native.size()) {
        size_t end = native.find('\n', start);
        if (end == std::string::npos)
            end = native.size();
        const std::string line = native.substr(start, end - start);
        start = end + 1;
        const size_t t1 = line.find('\t');
        const size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string::npos)
            continue;
        out.push_back({unescapeField(line.substr(0, t1)), line.substr(t1 + 1, t2 - t1 - 1) == "1",
                       unescapeField(line.substr(t2 + 1))});
    }
    return out;
}

bool setProperty(const std::string& property, bool exists, bool isInt, const std::string& value,
                 std::string& error) {
    std::string out;
    QStringList args{QStringLiteral("-p"), QString::fromStdString(property)};
    if (!exists)
        args << QStringLiteral("-n") << QStringLiteral("-t")
             << (isInt ? QStringLiteral("int") : QStringLiteral("string"));
    args << QStringLiteral("-s") << QString::fromStdString(value);
    return query(args, out, error);
}

} // namespace

XfceWallpaperBackend::XfceWallpaperBackend(std::vector<std::string> monitors)
    : monitors_(std::move(monitors)) {}

std::string XfceWallpaperBackend::styleFor(const std::string& options) {
    if (options == "wallpaper")
        return "2";
    if (options == "stretched")
        return "3";
    if (options == "scaled")
        return "4";
    if (options == "zoom")
        return "5";
    if (options == "spanned")
        return "6";
    if (options == "none")
        return "0";
    return "1";
}

std::string XfceWallpaperBackend::optionsFor(const std::string& style) {
    if (style == "0")
        return "none";
    if (style == "2")
        return "wallpaper";
    if (style == "3")
        return "stretched";
    if (style == "4")
        return "scaled";
    if (style == "6")
        return "spanned";
    if (style == "1")
        return "centered";
    return "zoom"; // xfdesktop's default
}

std::vector<std::string> XfceWallpaperBackend::backdrops(const std::string& listing) {
    static const std::regex pattern(
        R"(^(/backdrop/screen[0-9]+/monitor[^/]+/workspace[0-9]+/)last-image$)");
    std::vector<std::string> out;
    std::set<std::string> seen;
    size_t start = 0;
    while (start < listing.size() && out.size() < kMaxBackdrops) {
        size_t end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        std::string line = listing.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
            line.pop_back();
        std::smatch m;
        if (std::regex_match(line, m, pattern) && seen.insert(m[1]).second)
            out.push_back(m[1]);
    }
    return out;
}

bool XfceWallpaperBackend::available() {
    return WallpaperRules::namesDesktop(std::getenv("XDG_CURRENT_DESKTOP"), "XFCE") &&
           !QStandardPaths::findExecutable(QString::fromLatin1(kTool)).isEmpty();
}

bool XfceWallpaperBackend::read(WallpaperState& out, std::string& error) {
    std::string listing;
    if (!query({QStringLiteral("-l")}, listing, error))
        return false;
    std::vector<std::string> prefixes = backdrops(listing);
    std::set<std::string> listed;
    for (size_t start = 0; start < listing.size();) {
        size_t end = listing.find('\n', start);
        if (end == std::string::npos)
            end = listing.size();
        listed.insert(listing.substr(start, end - start));
        start = end + 1;
    }
    // A desktop never changed has no backdrop yet: the ones it will use.
    if (prefixes.empty()) {
        std::vector<std::string> monitors = monitors_;
        if (monitors.empty())
            monitors.push_back("0");
        for (const std::string& m : monitors)
            prefixes.push_back("/backdrop/screen0/monitor" + m + "/workspace0/");
    }
    out = {};
    out.native = kNativeTag;
    for (const std::string& prefix : prefixes) {
        for (const char* name : {"last-image", "image-style"}) {
            const std::string property = prefix + name;
            std::string value;
            const bool present = listed.count(property) > 0;
            if (present &&
                !query({QStringLiteral("-p"), QString::fromStdString(property)}, value, error))
                return false;
            out.native += escapeField(property) + "\t" + (present ? "1" : "0") + "\t" +
                          escapeField(value) + "\n";
            if (prefix != prefixes.front())
                continue;
            if (name[0] == 'l')
                out.pictureUri = value.empty() ? "" : WallpaperRules::fileUri(value);
            else
                out.pictureOptions = optionsFor(value);
        }
    }
    out.pictureUriDark = out.pictureUri;
    return true;
}

bool XfceWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    const std::vector<Saved> saved = parseNative(state.native);
    if (!saved.empty()) {
        // Back to what each property was, absent ones removed.
        std::string listing;
        if (!query({QStringLiteral("-l")}, listing, error))
            return false;
        for (const Saved& s : saved) {
            const bool exists =
                ("\n" + listing + "\n").find("\n" + s.property + "\n") != std::string::npos;
            std::string out;
            if (!s.present) {
                if (exists && !query({QStringLiteral("-p"), QString::fromStdString(s.property),
                                      QStringLiteral("-r")},
                                     out, error))
                    return false;
                continue;
            }
            const bool isInt = s.property.size() >= 11 &&
                               s.property.compare(s.property.size() - 11, 11, "image-style") == 0;
            if (!setProperty(s.property, exists, isInt, s.value, error))
                return false;
        }
        return true;
    }
    const std::optional<std::string> path = WallpaperRules::pathOfFileUri(state.pictureUri);
    if (!path) {
        error = state.pictureUri;
        return false;
    }
    WallpaperState current;
    if (!read(current, error))
        return false;
    const std::string style = styleFor(state.pictureOptions);
    for (const Saved& s : parseNative(current.native)) {
        const bool isStyle = s.property.size() >= 11 &&
                             s.property.compare(s.property.size() - 11, 11, "image-style") == 0;
        if (!setProperty(s.property, s.present, isStyle, isStyle ? style : *path, error))
            return false;
    }
    return true;
}

} // namespace kamelo::desktop
