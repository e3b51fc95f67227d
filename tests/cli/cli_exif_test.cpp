#include "tests/cli/clirunner.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using kamelo::test::cli;
using kamelo::test::CliResult;
using kamelo::test::ScratchDir;

TEST(KameloCliExif, PrintsTheRowsOrTheParsersRecord) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const std::string file = kamelo::test::testDataFile("camera/Nikon_D70.jpg");
    CliResult r = cli(dir, {"exif", file});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("너비\t100픽셀\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("카메라 제조사\tNIKON CORPORATION\n"), std::string::npos);
    EXPECT_NE(r.out.find("셔터속도\t1/200초 (0.0050초)\n"), std::string::npos) << r.out;
    r = cli(dir, {"exif", "--raw", file});
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("model\tNIKON D70\n"), std::string::npos);
    EXPECT_NE(r.out.find("ISO\t200\n"), std::string::npos);
    EXPECT_EQ(cli(dir, {"exif", dir.file("missing.jpg")}).code, 1);
    EXPECT_EQ(cli(dir, {"exif"}).code, 2);
}
