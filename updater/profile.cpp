#include "updater/profile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vela {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string folded(std::string_view name) {
    name = trim(name);
    std::string out(name);
    for (char& c : out)
        c = lower(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// Cuts to at most `limit` bytes without splitting a UTF-8 sequence.
std::string bounded(std::string_view s, size_t limit) {
    if (s.size() <= limit)
        return std::string(s);
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(s.substr(0, cut));
}

} // namespace

ProfileFile::ProfileFile(std::string_view bytes) {
    parse(bytes);
}

bool ProfileFile::load(const std::string& path) {
    sections_.clear();
    index_.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes) {
        ::close(fd);
        return false;
    }
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        have += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(have);
    parse(bytes);
    return true;
}

void ProfileFile::parse(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    Section* current = nullptr;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        line = trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            std::string_view name = close == std::string_view::npos || close == 0
                                        ? line.substr(1)
                                        : line.substr(1, close - 1);
            sections_.push_back({std::string(trim(name)), {}});
            index_.emplace(folded(name), sections_.size() - 1);
            current = &sections_.back();
            continue;
        }
        if (!current)
            continue;
        size_t eq = line.find('=');
        std::string_view key = trim(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        current->entries.push_back({std::string(key), std::string(value)});
    }
}

const ProfileFile::Section* ProfileFile::find(std::string_view section) const {
    auto it = index_.find(folded(section));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

const ProfileFile::Entry* ProfileFile::find(std::string_view section, std::string_view key) const {
    const Section* s = find(section);
    if (!s)
        return nullptr;
    for (const auto& e : s->entries)
        if (sameName(e.key, key))
            return &e;
    return nullptr;
}

bool ProfileFile::hasSection(std::string_view section) const {
    return find(section) != nullptr;
}

std::string ProfileFile::text(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    const Entry* e = find(section, key);
    return bounded(e ? std::string_view(e->value) : fallback, kMaxTextBytes);
}

uint32_t ProfileFile::integer(std::string_view section, std::string_view key,
                              uint32_t fallback) const {
    const Entry* e = find(section, key);
    if (!e || e->value.empty())
        return fallback;
    return parseInteger(e->value);
}

uint32_t ProfileFile::parseInteger(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && isBlank(value[i]))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    uint32_t result = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        result = result * 10u + static_cast<uint32_t>(value[i] - '0');
    return negative ? 0u - result : result;
}

} // namespace vela
