#include "plasmawallpaperbackend.h"

#include "fieldescape.h"

#include "desktop/core/wallpaperrules.h"
#include "desktop/sessionbus.h"

#include <cstdlib>

namespace kamelo::desktop {

namespace {

const char* const kPath = "/PlasmaShell";
const char* const kInterface = "org.kde.PlasmaShell";
const char* const kImagePlugin = "org.kde.image";
const char* const kNativeTag = "plasma\n";

// Each desktop on one line: id, plugin, Image, FillMode, tab separated, the
// values with tabs, newlines and backslashes escaped.
const char* const kReadScript = R"(function esc(s) {
    return String(s).replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n");
}
var all = desktops();
for (var i = 0; i < all.length; ++i) {
    var d = all[i];
    d.currentConfigGroup = Array("Wallpaper", "org.kde.image", "General");
    print(esc(d.id) + "\t" + esc(d.wallpaperPlugin) + "\t" + esc(d.readConfig("Image", "")) +
          "\t" + esc(d.readConfig("FillMode", "")) + "\n");
}
)";

// A JavaScript string literal.
std::string literal(const std::string& s) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

bool evaluate(const std::string& script, std::string& printed, std::string& error) {
    GVariant* reply =
        SessionBus::call(PlasmaWallpaperBackend::kService, kPath, kInterface, "evaluateScript",
                         g_variant_new("(s)", script.c_str()), "(s)", SessionBus::kSlowMs, error);
    if (!reply)
        return false;
    const gchar* text = nullptr;
    g_variant_get(reply, "(&s)", &text);
    printed = text ? text : "";
    g_variant_unref(reply);
    return true;
}

} // namespace

std::string PlasmaWallpaperBackend::fillModeFor(const std::string& options) {
    if (options == "wallpaper")
        return "3";
    if (options == "stretched")
        return "0";
    if (options == "scaled")
        return "1";
    if (options == "zoom" || options == "spanned")
        return "2";
    return "6"; // centred, unscaled
}

std::string PlasmaWallpaperBackend::optionsFor(const std::string& fillMode) {
    if (fillMode == "0")
        return "stretched";
    if (fillMode == "1")
        return "scaled";
    if (fillMode == "3" || fillMode == "4" || fillMode == "5")
        return "wallpaper";
    if (fillMode == "6")
        return "centered";
    return "zoom"; // the shell's default
}

std::vector<PlasmaWallpaperBackend::Desktop>
PlasmaWallpaperBackend::parseReport(const std::string& printed) {
    std::vector<Desktop> out;
    size_t start = 0;
    while (start < printed.size()) {
        size_t end = printed.find('\n', start);
        if (end == std::string::npos)
            end = printed.size();
        const std::string line = printed.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        size_t f = 0;
        while (fields.size() < 4) {
            const size_t tab = line.find('\t', f);
            fields.push_back(
                unescapeField(line.substr(f, tab == std::string::npos ? tab : tab - f)));
            if (tab == std::string::npos)
                break;
            f = tab + 1;
        }
        if (fields.size() == 4 && !fields[0].empty())
            out.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return out;
}

std::string PlasmaWallpaperBackend::writeScript(const std::vector<Desktop>& entries) {
    std::string script = "var entries = [\n";
    for (const Desktop& d : entries)
        script += "    [" + literal(d.id) + ", " + literal(d.plugin) + ", " + literal(d.image) +
                  ", " + literal(d.fillMode) + "],\n";
    script += R"(];
var all = desktops();
for (var i = 0; i < all.length; ++i) {
    var d = all[i];
    for (var k = 0; k < entries.length; ++k) {
        var e = entries[k];
        if (e[0] !== "" && e[0] !== String(d.id))
            continue;
        d.wallpaperPlugin = e[1];
        d.currentConfigGroup = Array("Wallpaper", "org.kde.image", "General");
        if (e[2] !== "")
            d.writeConfig("Image", e[2]);
        if (e[3] !== "")
            d.writeConfig("FillMode", e[3]);
        break;
    }
}
)";
    return script;
}

bool PlasmaWallpaperBackend::available() {
    return WallpaperRules::namesDesktop(std::getenv("XDG_CURRENT_DESKTOP"), "KDE") &&
           SessionBus::hasOwner(kService);
}

bool PlasmaWallpaperBackend::read(WallpaperState& out, std::string& error) {
    std::string printed;
    if (!evaluate(kReadScript, printed, error))
        return false;
    const std::vector<Desktop> desktops = parseReport(printed);
    out = {};
    out.native = kNativeTag;
    for (const Desktop& d : desktops)
        out.native += escapeField(d.id) + "\t" + escapeField(d.plugin) + "\t" +
                      escapeField(d.image) + "\t" + escapeField(d.fillMode) + "\n";
    // The first desktop stands for all in the values every desktop shares.
    if (!desktops.empty()) {
        out.pictureUri = desktops.front().plugin == kImagePlugin ? desktops.front().image : "";
        out.pictureOptions = optionsFor(desktops.front().fillMode);
    }
    out.pictureUriDark = out.pictureUri;
    return true;
}

bool PlasmaWallpaperBackend::write(const WallpaperState& state, std::string& error) {
    std::vector<Desktop> entries;
    if (state.native.rfind(kNativeTag, 0) == 0)
        entries = parseReport(state.native.substr(std::string(kNativeTag).size()));
    // A desktop added since the backup takes the first one's values.
    if (!entries.empty()) {
        Desktop any = entries.front();
        any.id.clear();
        entries.push_back(any);
    }
    if (entries.empty())
        entries.push_back({"", kImagePlugin, state.pictureUri, fillModeFor(state.pictureOptions)});
    std::string printed;
    return evaluate(writeScript(entries), printed, error);
}

} // namespace kamelo::desktop
