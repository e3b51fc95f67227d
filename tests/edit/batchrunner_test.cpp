#include "edit/batchrunner.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/core/filebytes.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "resources/stringtable.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo;
using namespace kamelo::edit;
using kamelo::test::ScratchDir;
namespace fs = std::filesystem;

namespace {

// Every write is synced to disk before it is renamed into place; hundreds of
// them on a disk take minutes, in memory they are free. The files stay the
// same either way.
const bool inMemoryScratch = [] {
    if (fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0)
        ::setenv("TMPDIR", "/dev/shm", 1);
    return true;
}();

// Records what a run reports and answers the overwrite questions from a script.
struct Recorder : BatchEvents {
    std::vector<std::pair<std::string, std::string>> writtenFiles;
    std::vector<std::pair<std::string, std::string>> failures;
    std::vector<std::string> asked;
    std::vector<OverwriteAnswer> answers; // consumed in order; Closed when empty
    std::string folderReason;
    std::function<void()> afterWrite;

    void written(const std::string& s, const std::string& d) override {
        writtenFiles.emplace_back(s, d);
        if (afterWrite)
            afterWrite();
    }
    void failed(const std::string& s, const std::string& reason) override {
        failures.emplace_back(s, reason);
    }
    void folderFailed(const std::string&, const std::string& reason) override {
        folderReason = reason;
    }
    OverwriteAnswer askOverwrite(const std::string& d) override {
        asked.push_back(d);
        if (answers.empty())
            return OverwriteAnswer::Closed;
        const OverwriteAnswer a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

imaging::Bitmap gradient(int w, int h) {
    imaging::Bitmap b;
    b.allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            b.setPixel(x, y,
                       uint32_t((x * 7) & 0xFF) | uint32_t((y * 5) & 0xFF) << 8 |
                           uint32_t((x + y) & 0xFF) << 16);
        }
    return b;
}

std::string bytesOf(const std::string& path) {
    return kamelo::test::readFile(path);
}

BatchSummary run(BatchJob job, Recorder& r) {
    std::atomic<bool> stop{false};
    BatchRunner runner(std::move(job));
    return runner.run(r, stop);
}

ConversionFormat format(const char* name) {
    for (const ConversionFormat& f : kConversionFormats)
        if (std::string(f.name) == name)
            return f;
    return kConversionFormats[0];
}

int filesIn(const std::string& folder) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        (void)e;
        ++n;
    }
    return n;
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// "W H" of each file as GraphicsMagick reads it, one run for all of them
// (a run costs far more than a file).
std::vector<std::string> gmSizes(const std::vector<std::string>& paths) {
    std::string cmd = "gm identify -format '%w %h\\n'";
    for (const auto& p : paths)
        cmd += " " + shellQuote(p);
    FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r");
    std::vector<std::string> lines;
    if (!p)
        return lines;
    char line[64] = {};
    while (fgets(line, sizeof line, p)) {
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        if (!s.empty())
            lines.push_back(s);
    }
    pclose(p);
    return lines;
}

bool haveGm() {
    return std::system("gm version >/dev/null 2>&1") == 0;
}

} // namespace

TEST(BatchRunner, ConvertingASourceToItsOwnFormatAsksAndRewritesInPlace) {
    ScratchDir dir;
    const std::string a = dir.file("a.jpg");
    ASSERT_EQ(imaging::PictureSaver::save(gradient(40, 30), a, imaging::saveformat::kJpeg, 2), 1);
    BatchJob job;
    job.sources = {a};
    job.convertTo = format("JPG");
    job.qualityFactor = 255;
    Recorder r;
    r.answers = {OverwriteAnswer::Yes};
    const std::string before = bytesOf(a);
    const BatchSummary s = run(job, r);
    ASSERT_EQ(r.asked, std::vector<std::string>{a});
    EXPECT_EQ(s.written, 1);
    EXPECT_FALSE(fs::exists(dir.file("a.JPG")));
    EXPECT_NE(bytesOf(a), before); // written again at the lowest quality
    EXPECT_EQ(filesIn(dir.path()), 1);
}

TEST(BatchRunner, OverwriteAnswersEscapeAndNoToAll) {
    ScratchDir dir;
    std::vector<std::string> sources;
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "4.bmp", "5.bmp"}) {
        sources.push_back(dir.file(std::string("in/") + name));
        fs::create_directories(dir.file("in"));
        ASSERT_EQ(imaging::PictureSaver::save(gradient(8, 8), sources.back(),
                                              imaging::saveformat::kBmp, 2),
                  1);
    }
    // 1, 2, 3 and 5 exist in the folder already; 4 is new.
    fs::create_directories(dir.file("out"));
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp", "5.bmp"})
        kamelo::test::writeFile(dir.file(std::string("out/") + name), "old");
    BatchJob job;
    job.sources = sources;
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("out");
    Recorder r;
    r.answers = {OverwriteAnswer::Yes, OverwriteAnswer::Closed, OverwriteAnswer::NoToAll};
    const BatchSummary s = run(job, r);
    EXPECT_EQ(r.asked.size(), 3u); // 5 is skipped without a question
    EXPECT_EQ(s.written, 2);
    EXPECT_EQ(s.skipped, 3);
    EXPECT_EQ(s.failed, 0);
    EXPECT_NE(bytesOf(dir.file("out/1.bmp")), "old");
    EXPECT_EQ(bytesOf(dir.file("out/2.bmp")), "old"); // Escape keeps it
    EXPECT_EQ(bytesOf(dir.file("out/3.bmp")), "old");
    EXPECT_TRUE(fs::exists(dir.file("out/4.bmp"))); // new ones are still written
    EXPECT_EQ(bytesOf(dir.file("out/5.bmp")), "old");
    // Skipped files leave no log line.
    ASSERT_EQ(r.writtenFiles.size(), 2u);
    EXPECT_EQ(r.writtenFiles[1].second, dir.file("out/4.bmp"));

    Recorder all;
    all.answers = {OverwriteAnswer::YesToAll};
    EXPECT_EQ(run(job, all).written, 5);
    EXPECT_EQ(all.asked.size(), 1u);
}

TEST(BatchRunner, BadFilesAreReportedAndLeftAsTheyWere) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    std::vector<std::string> sources;
    std::map<std::string, std::string> original;
    fs::create_directories(dir.file("in"));
    for (const auto& e : fs::directory_iterator(kamelo::test::testDataFile("broken"))) {
        const std::string copy = dir.file("in/" + e.path().filename().string());
        fs::copy_file(e.path(), copy);
        sources.push_back(copy);
    }
    for (const char* good : {"camera/Canon_40D.jpg", "camera/Nikon_D70.jpg"}) {
        const std::string copy = dir.file(std::string("in/") + fs::path(good).filename().string());
        fs::copy_file(kamelo::test::testDataFile(good), copy);
        sources.push_back(copy);
    }
    std::sort(sources.begin(), sources.end());
    for (const auto& s : sources)
        original[s] = bytesOf(s);
    // Written over the sources: a file that fails must keep every byte.
    BatchJob job;
    job.sources = sources;
    job.mode = DestinationMode::Overwrite;
    job.step = [](imaging::Bitmap& b, const std::any*, std::string&) {
        return b.isAllocated() ? 1 : -3;
    };
    Recorder r;
    const BatchSummary s = run(job, r);
    EXPECT_EQ(s.written + s.failed, int(sources.size()));
    EXPECT_GE(s.failed, 20);
    std::set<std::string> failed;
    for (const auto& [source, reason] : r.failures) {
        failed.insert(source);
        EXPECT_FALSE(reason.empty()) << source;
        EXPECT_EQ(bytesOf(source), original[source]) << source;
    }
    EXPECT_EQ(failed.count(dir.file("in/Canon_40D.jpg")), 0u);
    EXPECT_EQ(failed.count(dir.file("in/truncated_jpeg.jpg")), 1u);
    // GIF is not written by the batch runs; the file stays.
    EXPECT_EQ(failed.count(dir.file("in/jpg-with-gif-extension.gif")), 1u);
    // No temporary file is left anywhere.
    for (const auto& e : fs::directory_iterator(dir.file("in")))
        EXPECT_EQ(e.path().filename().string().rfind(".kamelo-save", 0), std::string::npos);
}

TEST(BatchRunner, AFolderThatCannotBeMadeStopsTheRunOnce) {
    ScratchDir dir;
    kamelo::test::writeFile(dir.file("blocker"), "x");
    const std::string a = dir.file("a.bmp");
    ASSERT_EQ(imaging::PictureSaver::save(gradient(4, 4), a, imaging::saveformat::kBmp, 2), 1);
    BatchJob job;
    job.sources = {a, a};
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("blocker/out");
    Recorder r;
    const BatchSummary s = run(job, r);
    EXPECT_TRUE(s.folderFailed);
    EXPECT_FALSE(s.complete());
    EXPECT_FALSE(r.folderReason.empty());
    EXPECT_TRUE(r.writtenFiles.empty());
    EXPECT_TRUE(r.failures.empty());
}

TEST(BatchRunner, WritersByExtension) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    // A ".jpeg" file gets the JPEG writer and keeps its camera information.
    const std::string jpeg = dir.file("photo.jpeg");
    fs::copy_file(kamelo::test::testDataFile("camera/Canon_40D.jpg"), jpeg);
    // A multi-page TIFF written over itself would keep only its first page.
    const std::string tiff = dir.file("multipage.tiff");
    fs::copy_file(kamelo::test::testDataFile("formats/tiff/multipage.tiff"), tiff);
    const std::string tiffBefore = bytesOf(tiff);
    BatchJob job;
    job.sources = {jpeg, tiff};
    job.upright = false;
    job.step = [](imaging::Bitmap&, const std::any*, std::string&) { return 1; };
    Recorder r;
    run(job, r);
    ASSERT_EQ(r.writtenFiles.size(), 1u);
    EXPECT_EQ(r.writtenFiles[0].second, jpeg);
    EXPECT_EQ(JpegPropertyInfo::read(jpeg).item(271)->text, "Canon");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].first, tiff);
    EXPECT_EQ(r.failures[0].second, res::text(res::IDS_BATCH_MULTIPAGE));
    EXPECT_EQ(bytesOf(tiff), tiffBefore);
}

TEST(BatchRunner, PerFileRecordsStayWithTheirFiles) {
    ScratchDir dir;
    BatchJob job;
    for (int i = 0; i < 3; ++i) {
        job.sources.push_back(dir.file(std::to_string(i) + ".bmp"));
        ASSERT_EQ(imaging::PictureSaver::save(gradient(4 + i, 4), job.sources.back(),
                                              imaging::saveformat::kBmp, 2),
                  1);
        job.records.emplace_back(i * 10);
    }
    std::vector<int> seen;
    job.step = [&seen](imaging::Bitmap& b, const std::any* record, std::string&) {
        seen.push_back(std::any_cast<int>(*record) + b.width() - 4);
        return 1;
    };
    Recorder r;
    run(job, r);
    EXPECT_EQ(seen, (std::vector<int>{0, 11, 22}));
}

TEST(BatchRunner, StoppingEndsBeforeTheNextFileAndKeepsWhatWasWritten) {
    ScratchDir dir;
    BatchJob job;
    for (int i = 0; i < 4; ++i) {
        job.sources.push_back(dir.file(std::to_string(i) + ".bmp"));
        ASSERT_EQ(imaging::PictureSaver::save(gradient(16, 16), job.sources.back(),
                                              imaging::saveformat::kBmp, 2),
                  1);
    }
    job.convertTo = format("PNG");
    std::atomic<bool> stop{false};
    Recorder r;
    r.afterWrite = [&] { stop = true; };
    BatchRunner runner(job);
    const BatchSummary s = runner.run(r, stop);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.written, 1);
    imaging::FileInfo info;
    EXPECT_EQ(imaging::PictureFile::readInfo(dir.file("0.PNG"), info), 1);
    EXPECT_FALSE(fs::exists(dir.file("1.PNG")));
}

TEST(BatchRunner, AFullDiskKeepsTheOldFileAndLeavesNoTemporaryFile) {
    ScratchDir dir;
    const std::string path = dir.file("keep.bmp");
    ASSERT_EQ(imaging::PictureSaver::save(gradient(300, 300), path, imaging::saveformat::kBmp, 2),
              1);
    const std::string before = bytesOf(path);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        BatchJob job;
        job.sources = {path};
        job.step = [](imaging::Bitmap& b, const std::any*, std::string&) {
            b.setPixel(0, 0, b.pixel(0, 0) ^ 0xFF);
            return 1;
        };
        Recorder r;
        run(job, r);
        const bool ok =
            r.failures.size() == 1 && r.failures[0].second == res::text(res::IDS_REASON_NO_SPACE);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(filesIn(dir.path()), 1);
}

TEST(BatchRunner, AReadOnlyFolderKeepsItsFilesAndSaysWhy) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    ScratchDir dir;
    const std::string path = dir.file("ro/keep.bmp");
    fs::create_directories(dir.file("ro"));
    ASSERT_EQ(imaging::PictureSaver::save(gradient(20, 20), path, imaging::saveformat::kBmp, 2), 1);
    const std::string before = bytesOf(path);
    fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    BatchJob job;
    job.sources = {path};
    job.step = [](imaging::Bitmap&, const std::any*, std::string&) { return 1; };
    Recorder r;
    run(job, r);
    fs::permissions(dir.file("ro"), fs::perms::owner_all);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].second, res::text(res::IDS_REASON_ACCESS));
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(filesIn(dir.file("ro")), 1);
}

TEST(BatchRunner, EveryFormatsSampleConvertsToTheFourFormatsAtItsSize) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    const bool gm = haveGm();
    int checked = 0;
    for (const auto& folder : fs::directory_iterator(kamelo::test::testDataFile("formats"))) {
        if (!folder.is_directory())
            continue;
        std::vector<std::string> sources;
        std::map<std::string, std::pair<int, int>> sizes;
        for (const auto& e : fs::directory_iterator(folder.path())) {
            imaging::Bitmap b;
            if (!e.is_regular_file() || imaging::PictureFile::load(e.path().string(), b) < 1)
                continue;
            sources.push_back(e.path().string());
            sizes[e.path().stem().string()] = {b.width(), b.height()};
        }
        std::sort(sources.begin(), sources.end());
        // The four classic formats; the web's are written by their own tests.
        for (size_t k = 0; k < kClassicConversionFormats; ++k) {
            const ConversionFormat& f = kConversionFormats[k];
            BatchJob job;
            job.sources = sources;
            job.convertTo = f;
            job.upright = false;
            job.mode = DestinationMode::Folder;
            job.folder = dir.file(std::string(f.name) + "/" + folder.path().filename().string());
            Recorder r; // a second file of the same title is not asked about: Closed
            const BatchSummary s = run(job, r);
            EXPECT_EQ(s.failed, 0) << folder.path() << " " << f.name
                                   << (r.failures.empty() ? "" : r.failures[0].second);
            std::vector<std::string> outputs, wanted;
            for (const auto& [source, destination] : r.writtenFiles) {
                const auto [w, h] = sizes[fs::path(source).stem().string()];
                imaging::FileInfo info;
                ASSERT_EQ(imaging::PictureFile::readInfo(destination, info), 1) << destination;
                EXPECT_EQ(info.width, w) << destination;
                EXPECT_EQ(info.height, h) << destination;
                outputs.push_back(destination);
                wanted.push_back(std::to_string(w) + " " + std::to_string(h));
                ++checked;
            }
            if (gm && !outputs.empty()) {
                EXPECT_EQ(gmSizes(outputs), wanted) << folder.path() << " " << f.name;
            }
        }
    }
    EXPECT_GT(checked, 300);
}

TEST(BatchRunner, CameraPicturesConvertedToJpgKeepTheirCameraInformation) {
    KAMELO_REQUIRE_TESTDATA();
    ScratchDir dir;
    std::ifstream tsv(kamelo::test::testDataFile("camera/EXPECTED.tsv"));
    std::string line;
    std::getline(tsv, line); // header
    std::vector<std::string> sources;
    std::map<std::string, std::vector<std::string>> expected;
    while (std::getline(tsv, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t'))
            cols.push_back(c);
        if (cols.size() < 6)
            continue;
        sources.push_back(kamelo::test::testDataFile("camera/" + cols[0]));
        expected[cols[0]] = cols;
    }
    ASSERT_GT(sources.size(), 30u);
    BatchJob job;
    job.sources = sources;
    job.convertTo = format("JPG");
    job.qualityFactor = 29;
    job.mode = DestinationMode::Folder;
    job.folder = dir.file("out");
    Recorder r;
    run(job, r);
    EXPECT_TRUE(r.failures.empty()) << r.failures.size();
    int withMake = 0;
    for (const auto& [source, destination] : r.writtenFiles) {
        const std::vector<std::string>& cols = expected[fs::path(source).filename().string()];
        const JpegPropertyInfo in = JpegPropertyInfo::read(source);
        const JpegPropertyInfo out = JpegPropertyInfo::read(destination);
        for (uint16_t tag : {uint16_t(271), uint16_t(272), uint16_t(36867), uint16_t(33434)}) {
            ASSERT_EQ(in.has(tag), out.has(tag)) << destination << " tag " << tag;
            if (const auto* a = in.item(tag)) {
                const auto* b = out.item(tag);
                EXPECT_EQ(a->text, b->text) << destination;
                EXPECT_EQ(a->numerator, b->numerator) << destination;
                EXPECT_EQ(a->denominator, b->denominator) << destination;
            }
        }
        if (const auto* make = out.item(271); make && cols[2] != "-" && !cols[2].empty()) {
            // The table lists trimmed texts.
            EXPECT_EQ(make->text.substr(0, cols[2].size()), cols[2]) << destination;
            ++withMake;
        }
        if (out.has(36867) && cols[4] != "-") {
            EXPECT_EQ(out.item(36867)->text, cols[4]) << destination;
        }
        // Turned upright, the file says so, and its sizes are the saved ones.
        imaging::FileInfo info;
        ASSERT_EQ(imaging::PictureFile::readInfo(destination, info), 1);
        if (out.has(274)) {
            EXPECT_EQ(out.shortOr(274), 1) << destination;
        }
        if (const auto* w = out.item(0xA002); w && w->kind == JpegPropertyInfo::Kind::Short) {
            EXPECT_EQ(w->shortValue, info.width) << destination;
        }
    }
    EXPECT_GT(withMake, 25);
}
