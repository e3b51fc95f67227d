#include "tests/support/scratchdir.h"
#include "updater/gunzip.h"

#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>
#include <zlib.h>

using namespace vela;
using kamelo::test::readFile;
using kamelo::test::ScratchDir;
using kamelo::test::writeFile;

namespace {

std::string patterned(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 7 + i / 300) & 0xff);
    return s;
}

void gzipTo(const std::string& path, const std::string& data) {
    gzFile gz = gzopen(path.c_str(), "wb");
    gzwrite(gz, data.data(), static_cast<unsigned>(data.size()));
    gzclose(gz);
}

} // namespace

TEST(Gunzip, DecompressesAcrossBlocksAndReports) {
    ScratchDir dir;
    // Several 16384-byte blocks and a short last one.
    const std::string data = patterned(3 * 16384 + 123);
    gzipTo(dir.file("a.gz"), data);
    const auto packed = readFile(dir.file("a.gz")).size();
    std::string report;
    ASSERT_TRUE(decompressGzip(dir.file("a.gz"), dir.file("a"), report));
    EXPECT_EQ(readFile(dir.file("a")), data);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        report, m, std::regex(R"((\d+) to (\d+) \((\d+\.\d\d)%\) \((\d+\.\d{4})sec elapsed\)\n)")));
    EXPECT_EQ(std::stoul(m[1]), packed);
    EXPECT_EQ(std::stoul(m[2]), data.size());
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.2f", packed * 100.0 / data.size());
    EXPECT_EQ(m[3].str(), percent);
}

TEST(Gunzip, EmptyOutput) {
    ScratchDir dir;
    gzipTo(dir.file("e.gz"), "");
    std::string report;
    ASSERT_TRUE(decompressGzip(dir.file("e.gz"), dir.file("e"), report));
    EXPECT_EQ(readFile(dir.file("e")), "");
}

TEST(Gunzip, MissingInputAndUnwritableOutputReportTheFile) {
    ScratchDir dir;
    std::string report;
    EXPECT_FALSE(decompressGzip(dir.file("none.gz"), dir.file("x"), report));
    EXPECT_EQ(report, "file open error : " + dir.file("none.gz") + "\n");
    gzipTo(dir.file("a.gz"), "abc");
    EXPECT_FALSE(decompressGzip(dir.file("a.gz"), dir.file("no/such/out"), report));
    EXPECT_EQ(report, "file open error : " + dir.file("no/such/out") + "\n");
    // A folder is not a file to read.
    EXPECT_FALSE(decompressGzip(dir.path(), dir.file("x"), report));
    EXPECT_EQ(report, "file open error : " + dir.path() + "\n");
}

TEST(Gunzip, CorruptDataFailsAndLeavesNoOutput) {
    ScratchDir dir;
    const std::string data = patterned(100000);
    gzipTo(dir.file("a.gz"), data);
    std::string gz = readFile(dir.file("a.gz"));
    std::string report;

    writeFile(dir.file("cut.gz"), gz.substr(0, gz.size() / 2));
    EXPECT_FALSE(decompressGzip(dir.file("cut.gz"), dir.file("cut"), report));
    EXPECT_FALSE(report.empty());
    EXPECT_NE(::access(dir.file("cut").c_str(), F_OK), 0);

    std::string flipped = gz;
    flipped[gz.size() - 6] ^= 0x5a; // the CRC of the trailer
    writeFile(dir.file("crc.gz"), flipped);
    EXPECT_FALSE(decompressGzip(dir.file("crc.gz"), dir.file("crc"), report));
    EXPECT_NE(::access(dir.file("crc").c_str(), F_OK), 0);

    writeFile(dir.file("plain.gz"), "this is not gzip at all");
    EXPECT_FALSE(decompressGzip(dir.file("plain.gz"), dir.file("plain"), report));
    EXPECT_EQ(report, "not a gzip file : " + dir.file("plain.gz") + "\n");
    EXPECT_NE(::access(dir.file("plain").c_str(), F_OK), 0);

    EXPECT_FALSE(decompressGzip(dir.file("a.gz"), dir.file("big"), report, 99999));
    EXPECT_NE(::access(dir.file("big").c_str(), F_OK), 0);
    EXPECT_TRUE(decompressGzip(dir.file("a.gz"), dir.file("fits"), report, 100000));
}
