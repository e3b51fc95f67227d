#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vela {

// An INI ("profile") file read the way the Windows profile functions read
// it: section and key names compare without regard to ASCII case and with
// surrounding blanks ignored; the first section of a name and the first key
// of a name in it win; values lose surrounding blanks and one pair of
// matching quotes; lines before the first section, blank lines and lines
// starting with ";" hold nothing; a line without "=" is a key with an empty
// value. Text reads are bounded like a 9999-byte buffer.
class ProfileFile {
public:
    // Files above this size are refused: a list is a few hundred kilobytes.
    static constexpr int64_t kMaxFileBytes = 16 * 1024 * 1024;
    // The longest text a read returns (the buffer minus its terminator).
    static constexpr size_t kMaxTextBytes = 9998;

    ProfileFile() = default;
    // Parses bytes already in memory.
    explicit ProfileFile(std::string_view bytes);

    // Reads a regular file; false (and an empty profile) when it is missing,
    // not a regular file, unreadable or larger than kMaxFileBytes.
    bool load(const std::string& path);

    bool hasSection(std::string_view section) const;
    // The value, or `fallback` when the section or key is absent.
    std::string text(std::string_view section, std::string_view key,
                     std::string_view fallback = {}) const;
    // The profile integer reader: leading blanks, an optional sign, then
    // decimal digits up to the first other character, taken modulo 2^32 (so
    // an unsigned CRC above 2^31 keeps its bits). A missing or empty value
    // gives `fallback`; a value with no digits gives 0.
    uint32_t integer(std::string_view section, std::string_view key, uint32_t fallback) const;

    static uint32_t parseInteger(std::string_view value);

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    void parse(std::string_view bytes);
    const Section* find(std::string_view section) const;
    const Entry* find(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;
    // Lower-cased name to the first section of that name: lists have
    // thousands of sections, each read a dozen times.
    std::unordered_map<std::string, size_t> index_;
};

} // namespace vela
