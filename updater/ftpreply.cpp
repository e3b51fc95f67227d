#include "updater/ftpreply.h"

#include <cstdio>

namespace vela {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v';
}

// A decimal integer as "%d" reads it: leading blanks, a sign, digits.
// Clamped to 32 bits instead of overflowing.
std::optional<int64_t> readInteger(std::string_view& s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    size_t digits = i;
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if (value <= INT32_MAX)
            value = value * 10 + (s[i] - '0');
    if (i == digits)
        return std::nullopt;
    s.remove_prefix(i);
    if (value > INT32_MAX)
        value = negative ? int64_t(INT32_MAX) + 1 : INT32_MAX;
    return negative ? -value : value;
}

} // namespace

std::optional<std::string> takeReplyLine(KSockMsgQue& queue) {
    const std::string queued = queue.peekAll();
    size_t end = queued.find("\r\n");
    if (end == std::string::npos)
        return std::nullopt;
    queue.skip(static_cast<uint32_t>(end + 2));
    return queued.substr(0, end);
}

int replyClass(std::string_view line) {
    return line.empty() ? 0 : line[0] - '0';
}

std::optional<PassiveAddress> parsePassiveReply(std::string_view line) {
    size_t open = line.find('(');
    size_t close = line.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    std::string inner(line.substr(open + 1, close - open - 1));
    for (char& c : inner)
        if (c == ',')
            c = ' ';
    std::string_view rest = inner;
    int64_t v[6];
    for (auto& value : v) {
        auto n = readInteger(rest);
        if (!n)
            return std::nullopt;
        value = *n;
    }
    for (int i = 0; i < 6; ++i)
        if (v[i] < 0 || v[i] > 255)
            return std::nullopt;
    PassiveAddress result;
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    result.address = text;
    result.port = int(v[4]) * 256 + int(v[5]);
    if (result.port == 0)
        return std::nullopt;
    return result;
}

std::optional<int32_t> parseTransferSize(std::string_view line) {
    size_t open = line.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(open + 1);
    auto n = readInteger(rest);
    return n ? std::optional<int32_t>(static_cast<int32_t>(*n)) : std::optional<int32_t>(0);
}

} // namespace vela

namespace vela {

bool isFinalReplyLine(std::string_view line) {
    if (line.size() < 3)
        return false;
    for (int i = 0; i < 3; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    return line.size() == 3 || line[3] == ' ';
}

} // namespace vela
