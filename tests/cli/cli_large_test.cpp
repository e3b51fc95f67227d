// kamelo-cli on pictures too large for one bitmap: what only reads them
// works; what would write them back refuses rather than write a reduced copy.
#include "clirunner.h"
#include "tests/large/largepictures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lt = kamelo::test::large;
using kamelo::test::CliStreams;
using kamelo::test::runCli;
using kamelo::test::ScratchDir;

TEST(CliLarge, WritesAreRefusedAndReadsWork) {
    ScratchDir dir;
    const lt::SampleFile f = lt::sample(lt::Sample::Jpeg, 65000, 4200);
    const std::string copy = dir.file("pano.jpg");
    std::filesystem::copy_file(f.path, copy);
    const auto before = std::filesystem::file_size(copy);
    struct Row {
        std::vector<std::string> args;
        bool works;
        std::string says;
    };
    const Row rows[] = {
        {{"info", copy}, true, "65000"},
        {{"convert", "--format", "PNG", "--out", dir.file("out"), copy}, false, "너무 큽니다"},
        {{"resize", "--percent", "50", "--out", dir.file("out"), copy}, false, "너무 큽니다"},
        {{"adjust", "--grey", "--out", dir.file("out"), copy}, false, "너무 큽니다"},
        {{"thumbs", dir.path(), "--cache", dir.file("cache")}, true, ""},
    };
    for (const Row& r : rows) {
        const auto result = runCli(dir, r.args, CliStreams::Both, 120);
        EXPECT_EQ(result.code == 0, r.works) << r.args[0] << ": " << result.out;
        EXPECT_NE(result.out.find(r.says), std::string::npos) << r.args[0] << ": " << result.out;
    }
    // Nothing was written in place of the picture, nor a reduced copy beside it.
    EXPECT_EQ(std::filesystem::file_size(copy), before);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out")) &&
                 !std::filesystem::is_empty(dir.file("out")));
}
