#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vela {

// CRC-32 of a regular file, zlib's polynomial and result, read in 1 MiB
// blocks. No value when the file cannot be opened or read.
std::optional<uint32_t> fileCrc32(const std::string& path);

} // namespace vela
