#pragma once

#include <string>

namespace kamelo::test {

// The shared sample pictures: $KAMELO_TESTDATA, or the folder the build was
// configured with. Empty when neither exists.
std::string testDataDir();
std::string testDataFile(const std::string& relative);

} // namespace kamelo::test

// Skips the current GoogleTest when the sample pictures are not available.
#define KAMELO_REQUIRE_TESTDATA()                                                                  \
    do {                                                                                           \
        if (kamelo::test::testDataDir().empty())                                                   \
            GTEST_SKIP() << "sample pictures not found; set KAMELO_TESTDATA";                      \
    } while (0)
