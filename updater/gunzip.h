#pragma once

#include <cstdint>
#include <string>

namespace vela {

// Bytes read from the gzip reader and written at a time.
inline constexpr unsigned kGunzipBlockBytes = 16384;

// Decompresses a downloaded ".gz" into `outputPath`. `report` receives
// "file open error : <path>\n" when either file cannot be opened, or
// "<compressed> to <output> (<percent>%) (<seconds>sec elapsed)\n" on
// success. Data that is not gzip, a damaged stream, or output beyond
// `maxOutputBytes` (negative: no bound) fail with a report of their own and
// remove the partial output: no more than the bound is ever written. An
// output below `root` is created without following links (see beneath.h).
bool decompressGzip(const std::string& gzPath, const std::string& outputPath, std::string& report,
                    int64_t maxOutputBytes = -1, const std::string& root = {});

} // namespace vela
