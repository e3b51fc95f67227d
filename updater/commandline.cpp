#include "updater/commandline.h"

namespace vela {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::string arg;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\' && i + 1 < line.size()) {
                    const char next = line[i + 1];
                    if (next == '"' || next == '\\') {
                        arg += next;
                        i += 2;
                        continue;
                    }
                    if (next == 'r' || next == 'n') {
                        arg += next == 'r' ? '\r' : '\n';
                        i += 2;
                        continue;
                    }
                }
                arg += c;
                ++i;
            }
            if (!closed)
                return {};
        } else {
            while (i < line.size() && !isBlank(line[i]))
                arg += line[i++];
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string quotedArgument(const std::string& argument) {
    std::string out = " \"";
    for (char c : argument) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string joinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const auto& a : arguments)
        line += quotedArgument(a);
    return line;
}

UpdaterArguments parseUpdaterArguments(const std::vector<std::string>& arguments) {
    UpdaterArguments out;
    for (size_t i = 0; i < arguments.size() && i < 2; ++i) {
        if (arguments[i] == "/auto")
            out.automatic = true;
        else
            out.programToRestart = arguments[i];
    }
    return out;
}

bool parenthesisedCommand(const std::string& line, std::string& command) {
    const size_t open = line.find('(');
    if (open == std::string::npos)
        return false;
    const size_t close = line.find(')', open + 1);
    if (close == std::string::npos)
        return false;
    command = line.substr(open + 1, close - open - 1);
    return true;
}

} // namespace vela
