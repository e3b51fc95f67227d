#pragma once

#include "updater/updateentry.h"

#include <string>

namespace vela {

// SHA-256 of a regular file in lower-case hex, empty when it cannot be read.
std::string fileSha256(const std::string& path);

// True when a downloaded (and decompressed) file is the one the list
// publishes: its size and CRC-32, and its SHA-256 when the list gives one.
bool matchesEntry(const std::string& path, const UpdateEntry& entry);

} // namespace vela
