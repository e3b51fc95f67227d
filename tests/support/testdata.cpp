#include "testdata.h"

#include <cstdlib>
#include <filesystem>

namespace kamelo::test {

std::string testDataDir() {
    const char* env = std::getenv("KAMELO_TESTDATA");
    std::string dir = env && *env ? env : KAMELO_TESTDATA_DEFAULT;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::string();
}

std::string testDataFile(const std::string& relative) {
    return testDataDir() + "/" + relative;
}

} // namespace kamelo::test
