#include "commandline.h"

namespace kamelo {

std::string CommandLine::stripOuterQuotes(const std::string& raw) {
    size_t begin = raw.find_first_not_of('"');
    if (begin == std::string::npos)
        return {};
    size_t end = raw.find_last_not_of('"');
    return raw.substr(begin, end - begin + 1);
}

std::string CommandLine::picturePath(const std::vector<std::string>& argsAfterProgram) {
    std::string joined;
    for (size_t i = 0; i < argsAfterProgram.size(); ++i) {
        if (i)
            joined += ' ';
        joined += argsAfterProgram[i];
    }
    return stripOuterQuotes(joined);
}

} // namespace kamelo
