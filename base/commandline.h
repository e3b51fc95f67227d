#pragma once

#include <string>
#include <vector>

namespace kamelo {

// The picture named on the command line. The arguments after the program name
// are joined with spaces (a launcher may split an unquoted path), then the
// double quotes at the two ends are removed; inner quotes stay.
class CommandLine {
public:
    static std::string picturePath(const std::vector<std::string>& argsAfterProgram);
    static std::string stripOuterQuotes(const std::string& raw);
};

} // namespace kamelo
