// Files named like pictures that are not regular files must be refused at
// once: opening a FIFO for reading waits for a writer, so a reader that does
// not guard against it hangs for ever. alarm() turns such a hang into a
// failed test.
#include "imaging/core/filebytes.h"
#include "imaging/filecomments.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "tests/support/scratchdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kamelo::imaging;
using kamelo::test::ScratchDir;

namespace {

// Ends the test process if a read hangs.
struct HangGuard {
    HangGuard() { ::alarm(20); }
    ~HangGuard() { ::alarm(0); }
};

} // namespace

TEST(SpecialFiles, AFifoNamedLikeAPictureIsRefusedWithoutWaiting) {
    HangGuard guard;
    ScratchDir dir;
    const std::string fifo = dir.file("f.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    FileInfo info;
    EXPECT_EQ(PictureFile::readInfo(fifo, info), result::kFileRead);
    Bitmap picture;
    EXPECT_EQ(PictureFile::load(fifo, picture), result::kFileRead);
    AnimatedBitmap frames;
    EXPECT_EQ(PictureFile::loadAnimation(dir.file("f.jpg"), frames), result::kFileRead);
    EXPECT_EQ(PictureFile::readStamp(fifo, picture), result::kNoStamp);
    EXPECT_TRUE(FileComments::readMany(fifo, {comment::kMake}).empty());
    EXPECT_TRUE(FileComments::text(fifo, comment::kModel).empty());
    EXPECT_EQ(Orientation::read(fifo), Orientation::kUpright);

    std::vector<uint8_t> bytes;
    EXPECT_EQ(readWholeFile(fifo, bytes), result::kFileRead);
    EXPECT_EQ(readFileHead(fifo, 64, bytes), result::kFileRead);
    int fd = -1;
    std::string reason;
    EXPECT_EQ(openRegularFile(fifo, fd, &reason), result::kFileRead);
    EXPECT_EQ(fd, -1);
    EXPECT_NE(reason.find("FIFO"), std::string::npos) << reason;
}

TEST(SpecialFiles, DevicesAndFoldersAreRefusedWithTheReason) {
    HangGuard guard;
    ScratchDir dir;
    int fd = -1;
    std::string reason;
    EXPECT_EQ(openRegularFile("/dev/zero", fd, &reason), result::kFileRead);
    EXPECT_NE(reason.find("장치"), std::string::npos) << reason;
    EXPECT_EQ(openRegularFile(dir.path(), fd, &reason), result::kFileRead);
    EXPECT_NE(reason.find("폴더"), std::string::npos) << reason;
    EXPECT_EQ(openRegularFile(dir.file("missing.jpg"), fd, &reason), result::kFileNotFound);
    EXPECT_TRUE(FileComments::readMany("/dev/zero", {comment::kMake}).empty());
    Bitmap picture;
    EXPECT_EQ(PictureFile::readStamp("/dev/zero", picture), result::kNoStamp);
}

TEST(SpecialFiles, ARegularFileOpensForBlockingReads) {
    ScratchDir dir;
    kamelo::test::writeFile(dir.file("a.bin"), "abc");
    int fd = -1;
    ASSERT_EQ(openRegularFile(dir.file("a.bin"), fd), result::kSuccess);
    ASSERT_GE(fd, 0);
    // The non-blocking flag used for the check is gone again.
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    ::close(fd);
    std::FILE* f = openRegularStream(dir.file("a.bin"));
    ASSERT_NE(f, nullptr);
    char buf[4] = {};
    EXPECT_EQ(std::fread(buf, 1, 3, f), 3u);
    EXPECT_STREQ(buf, "abc");
    std::fclose(f);
}

// Large files are read into a buffer faulted in ahead of the read; every
// byte must arrive, whatever the buffer held before, at sizes around the
// page and huge-page boundaries.
TEST(FileBytes, LargeFilesArriveWhole) {
    ScratchDir dir;
    for (const size_t size : {size_t(1) << 20, (size_t(2) << 20) + 1, (size_t(9) << 20) - 4095}) {
        std::vector<uint8_t> written(size);
        for (size_t i = 0; i < size; ++i)
            written[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        const std::string path = dir.file("big" + std::to_string(size));
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(written.data(), 1, size, f), size);
        std::fclose(f);
        std::vector<uint8_t> read(100, 0xAB);
        ASSERT_EQ(readWholeFile(path, read), result::kSuccess);
        EXPECT_TRUE(read == written) << size;
        // Again into the same, now larger, buffer.
        ASSERT_EQ(readWholeFile(path, read), result::kSuccess);
        EXPECT_TRUE(read == written) << size;
    }
}
