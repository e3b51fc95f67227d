#pragma once

#include <cstddef>
#include <cstdint>

// The updater's readers of server-supplied bytes, for libFuzzer and for the
// replay of the kept inputs. They must survive any input.
namespace kamelo::fuzz {

// The INI reader over a file list, read as the plan reads it.
int ini(const uint8_t* data, size_t size);
// The FTP control reply reader: lines, classes, passive addresses, sizes.
int ftpreply(const uint8_t* data, size_t size);

struct UpdaterEntry {
    const char* name;
    int (*run)(const uint8_t*, size_t);
};
inline constexpr UpdaterEntry kUpdaterEntries[] = {{"ini", ini}, {"ftpreply", ftpreply}};

} // namespace kamelo::fuzz
