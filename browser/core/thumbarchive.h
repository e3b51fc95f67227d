#pragma once

#include "thumbdata.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kamelo {

// The folder cache's item list file (".lis"): the framework archive layout of
// a list of CThumbData records, little-endian. Strings are written as UTF-8,
// the system code page here.
class ThumbArchive {
public:
    static std::vector<uint8_t> write(const std::vector<CThumbData>& records);
    // False (and records emptied) when the bytes are damaged or cut short.
    static bool read(const std::vector<uint8_t>& bytes, std::vector<CThumbData>& records);

    static bool writeFile(const std::string& path, const std::vector<CThumbData>& records);
    static bool readFile(const std::string& path, std::vector<CThumbData>& records);
};

} // namespace kamelo
