#include "desktopentry.h"

#include "associationtable.h"
#include "mimeappsfile.h"

#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::desktop {

std::string DesktopEntry::execArgument(const std::string& argument) {
    static constexpr std::string_view kReserved = " \t\n\r\"'\\><~|&;$*?#()`";
    const bool plain = !argument.empty() && argument.find_first_of(kReserved) == std::string::npos;
    if (plain) {
        std::string doubled;
        for (char c : argument)
            doubled += c == '%' ? std::string("%%") : std::string(1, c);
        return doubled;
    }
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::vector<std::string> DesktopEntry::splitExec(const std::string& value) {
    // String-value escapes first.
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            text += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
        } else {
            text += value[i];
        }
    }
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size()) {
                current += text[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inArg)
                args.push_back(current);
            current.clear();
            inArg = false;
        } else if (c == '"') {
            quoted = inArg = true;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args.push_back(current);
    return args;
}

std::string DesktopEntry::commandWithoutFieldCodes(const std::string& value) {
    std::string out;
    for (const std::string& arg : splitExec(value)) {
        if (arg.size() == 2 && arg[0] == '%' && arg[1] != '%')
            continue;
        std::string plain;
        for (size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] == '%' && i + 1 < arg.size() && arg[i + 1] == '%')
                ++i;
            plain += arg[i];
        }
        if (!out.empty())
            out += ' ';
        out += plain;
    }
    return out;
}

std::string DesktopEntry::programOf(const std::string& execValue, const std::string& searchPath) {
    const std::vector<std::string> args = splitExec(execValue);
    if (args.empty() || args[0].empty())
        return {};
    std::vector<std::string> candidates;
    if (args[0].find('/') != std::string::npos) {
        if (args[0][0] == '/')
            candidates.push_back(args[0]);
    } else {
        size_t at = 0;
        while (at <= searchPath.size()) {
            size_t colon = searchPath.find(':', at);
            if (colon == std::string::npos)
                colon = searchPath.size();
            const std::string folder = searchPath.substr(at, colon - at);
            if (!folder.empty() && folder[0] == '/')
                candidates.push_back(folder + "/" + args[0]);
            at = colon + 1;
        }
    }
    for (const std::string& c : candidates) {
        struct stat st {};
        if (::stat(c.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(c.c_str(), X_OK) != 0)
            continue;
        std::error_code ec;
        const std::filesystem::path real = std::filesystem::canonical(c, ec);
        return ec ? std::string() : real.string();
    }
    return {};
}

std::string DesktopEntry::keyValue(const std::string& bytes, const std::string& key) {
    return MimeAppsFile(bytes).value("Desktop Entry", key).value_or("");
}

std::string DesktopEntry::forProgram(const std::string& programPath) {
    MimeAppsFile entry{std::string(packagedTemplate())};
    entry.set("Desktop Entry", "Exec", execArgument(programPath) + " %f");
    entry.remove("Desktop Entry", "TryExec");
    std::string types;
    for (const std::string& t : AssociationTable::entryTypes())
        types += t + ";";
    entry.set("Desktop Entry", "MimeType", types);
    return entry.bytes();
}

} // namespace kamelo::desktop
