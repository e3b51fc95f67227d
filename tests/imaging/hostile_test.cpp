// Pictures built to hurt: headers declaring far more than the file holds,
// animations that multiply a large screen, cut data closed by an end
// marker, and allocations that fail. Each must end quickly in an error code
// (or a trimmed result), never in a huge allocation or an exception.
#include "hostilepictures.h"
#include "imaging/geometryops.h"
#include "imaging/memorybudget.h"
#include "imaging/picturefile.h"
#include "imaging/plausibility.h"
#include "imaging/result.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kamelo::imaging;
using kamelo::test::Bytes;

namespace {

struct HangGuard {
    HangGuard() { ::alarm(60); }
    ~HangGuard() { ::alarm(0); }
};

// Restores the default memory limits however the test ends.
struct TestLimits {
    TestLimits(size_t hugePicture, size_t hugeBudget, size_t animation) {
        memorybudget::setLimitsForTesting(hugePicture, hugeBudget, animation);
    }
    ~TestLimits() { memorybudget::setLimitsForTesting(0, 0, 0); }
};

int load(const Bytes& b, const char* name, Bitmap& out, const LoadOptions& options = {}) {
    return PictureFile::load(b.data(), b.size(), name, out, options);
}

} // namespace

TEST(HostilePictures, ATinyProgressiveJpegDeclaring16383SquaredIsRefused) {
    HangGuard guard;
    const Bytes bomb = kamelo::test::jpegDeclaring(16383, 16383, true);
    ASSERT_LT(bomb.size(), 2000u);
    FileInfo info;
    ASSERT_EQ(PictureFile::readInfo(bomb.data(), bomb.size(), "bomb.jpg", info), 1);
    EXPECT_EQ(info.width, 16383); // the header is reported as it is
    Bitmap b;
    EXPECT_EQ(load(bomb, "bomb.jpg", b), result::kCorruptData);
    EXPECT_FALSE(b.isAllocated());
    LoadOptions scaled;
    scaled.scaleDenominator = 8; // a thumbnail still needs every coefficient
    EXPECT_EQ(load(bomb, "bomb.jpg", b, scaled), result::kCorruptData);
    const Bytes baseline = kamelo::test::jpegDeclaring(16000, 16000, false);
    EXPECT_EQ(load(baseline, "bomb.jpg", b), result::kCorruptData);
}

TEST(HostilePictures, ATinyGifDeclaringA16000SquaredScreenIsRefused) {
    HangGuard guard;
    const Bytes bomb = kamelo::test::gifOnScreen(16000, 16000, 1);
    ASSERT_LT(bomb.size(), 64u);
    Bitmap b;
    EXPECT_EQ(load(bomb, "bomb.gif", b), result::kCorruptData);
    AnimatedBitmap frames;
    EXPECT_EQ(PictureFile::loadAnimation("/nonexistent/bomb.gif", frames), result::kFileNotFound);
    // The same screen is fine when the file could fill it.
    const Bytes small = kamelo::test::gifOnScreen(300, 200, 1);
    ASSERT_EQ(load(small, "small.gif", b), 1);
    EXPECT_EQ(b.width(), 300);
}

TEST(HostilePictures, RealPicturesStayBelowThePlausibilityLimits) {
    // A blank 1-bit A4 page at 300 dpi is the best case of PNG compression.
    QImage page(2480, 3508, QImage::Format_Mono);
    page.fill(1);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(page.save(&buffer, "PNG"));
    }
    Bitmap b;
    EXPECT_EQ(PictureFile::load(reinterpret_cast<const uint8_t*>(png.constData()),
                                size_t(png.size()), "page.png", b),
              1)
        << png.size() << " bytes";
    // A flat grey photo-sized JPEG.
    QImage grey(4000, 3000, QImage::Format_Grayscale8);
    grey.fill(128);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(grey.save(&buffer, "JPEG", 50));
    }
    EXPECT_EQ(PictureFile::load(reinterpret_cast<const uint8_t*>(jpeg.constData()),
                                size_t(jpeg.size()), "grey.jpg", b),
              1);
    EXPECT_TRUE(plausibility::plausible(2048, 2048, 1, plausibility::kJpegPixelsPerByte));
    EXPECT_FALSE(plausibility::plausible(16383, 16383, 784, plausibility::kJpegPixelsPerByte));
    EXPECT_FALSE(plausibility::plausible(0, 10, 1000, plausibility::kPngPixelsPerByte));
}

// The most memory (KB) one step of a child process added to what it had.
template <typename Step> long peakGrowthKb(Step step) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        long result[2] = {0, step()};
        ::getrusage(RUSAGE_SELF, &after);
        result[0] = after.ru_maxrss - before.ru_maxrss;
        (void)!::write(fds[1], result, sizeof result);
        ::_exit(0);
    }
    ::close(fds[1]);
    long result[2] = {-1, 0};
    const bool read = ::read(fds[0], result, sizeof result) == ssize_t(sizeof result);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return read && result[1] == 1 ? result[0] : -1;
}

TEST(HostilePictures, AHugeScreenOfTinyFramesStaysWithinItsMemory) {
    HangGuard guard;
    // 300 one-pixel frames on an 8000 x 8000 screen (one screen: 183 MB).
    const Bytes gif = kamelo::test::gifOnScreen(8000, 8000, 300);
    ASSERT_LT(gif.size(), 7000u);
    const std::string path = ::testing::TempDir() + "/kamelo-anim-canvas.gif";
    kamelo::test::writeBytes(path, gif);
    // A thumbnail decodes the first frame reduced, never the screen.
    const long thumbnail = peakGrowthKb([&] {
        LoadOptions o;
        o.scaleDenominator = 8;
        Bitmap b;
        return PictureFile::load(path, b, o) == 1 && b.width() == 1000 && b.pixel(0, 0) != 0xFFFFFFu
                   ? 1L
                   : 0L;
    });
    EXPECT_GE(thumbnail, 0);
    EXPECT_LT(thumbnail, 40L * 1024);
    // The viewer holds one screen, shown, and plays every frame on it.
    const long viewer = peakGrowthKb([&] {
        AnimatedBitmap frames;
        Bitmap shown;
        if (PictureFile::loadAnimation(path, frames) != 1)
            return 0L;
        frames.present(shown);
        for (int i = 1; i < 300; ++i)
            frames.advance(shown, true);
        return frames.frameCount() == 300 && shown.pixel(299, 0) != 0xFFFFFFu ? 1L : 0L;
    });
    EXPECT_GE(viewer, 0);
    EXPECT_LT(viewer, 220L * 1024);
    ::unlink(path.c_str());
}

TEST(HostilePictures, TheDefaultAnimationBudgetIsAGigabyteAtMost) {
    EXPECT_LE(memorybudget::animationBudget(), size_t(1) << 30);
    EXPECT_LE(memorybudget::animationBudget(), memorybudget::physicalMemory() / 4 + 1);
    EXPECT_GT(memorybudget::animationBudget(), 0u);
}

TEST(HostilePictures, AnAllocationThatFailsBecomesTheNoMemoryCode) {
    HangGuard guard;
    // Pictures of 16 MB or more count as huge, and all huge ones together
    // may use 40 MB: the second 18 MB picture is refused.
    TestLimits limits(size_t(16) << 20, size_t(40) << 20, 0);
    Bitmap first;
    ASSERT_EQ(first.create(3000, 2000), 1);
    Bitmap second;
    ASSERT_EQ(second.create(3000, 2000), 1);
    Bitmap third;
    EXPECT_EQ(third.create(3000, 2000), result::kNoMemory);
    // An operation that copies inside returns the code instead of throwing.
    EXPECT_EQ(GeometryOps::rotate(first, 9000), result::kNoMemory);
    // An animation needs one screen at least (18 MB): none when not even
    // that can be had.
    const Bytes gif = kamelo::test::gifOnScreen(3000, 2000, 40);
    const std::string path = ::testing::TempDir() + "/kamelo-anim-nomem.gif";
    kamelo::test::writeBytes(path, gif);
    AnimatedBitmap frames;
    EXPECT_EQ(PictureFile::loadAnimation(path, frames), result::kNoMemory);
    second.free();
    ASSERT_EQ(PictureFile::loadAnimation(path, frames), 1);
    EXPECT_EQ(frames.frameCount(), 40);
    ::unlink(path.c_str());
}

TEST(HostilePictures, ABackgroundDecodeNeverAddsASecondHugePicture) {
    TestLimits limits(size_t(16) << 20, size_t(1) << 30, 0);
    Bitmap onScreen;
    ASSERT_EQ(onScreen.create(3000, 2000), 1);
    EXPECT_GE(memorybudget::hugeBytesInUse(), size_t(18) << 20);
    {
        memorybudget::BackgroundScope background;
        Bitmap next;
        EXPECT_EQ(next.create(3000, 2000), result::kNoMemory);
        EXPECT_EQ(next.create(1000, 1000), 1); // small ones are not counted
    }
    Bitmap foreground;
    EXPECT_EQ(foreground.create(3000, 2000), 1); // within the budget
    foreground.free();
    onScreen.free();
    EXPECT_EQ(memorybudget::hugeBytesInUse(), 0u);
    memorybudget::BackgroundScope background;
    EXPECT_EQ(onScreen.create(3000, 2000), 1); // alone it may
}

TEST(HostilePictures, AJpegCutShortButEndedByItsMarkerIsTruncated) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const Bytes cut = kamelo::test::jpegCutBeforeEoi(256, 256, progressive, 40);
        Bitmap b;
        EXPECT_EQ(load(cut, "cut.jpg", b), result::kTruncated);
        // The viewer's load: bands of rows and refinement passes.
        LoadOptions rows;
        rows.bandRows = 10;
        rows.reportPasses = true;
        int reported = 0;
        rows.onRows = [&](const Bitmap&, int, int, int) {
            ++reported;
            return 1;
        };
        EXPECT_EQ(load(cut, "cut.jpg", b, rows), result::kTruncated);
        EXPECT_GT(reported, 0);
        const Bytes whole = kamelo::test::jpegCutBeforeEoi(256, 256, progressive, 100);
        EXPECT_EQ(load(whole, "whole.jpg", b), 1);
    }
}

TEST(HostilePictures, ForgedEmfAndSgiHeadersAreRefused) {
    FileInfo info;
    const Bytes emf = kamelo::test::emfWithBounds(2147483646, 2147483646);
    EXPECT_EQ(PictureFile::readInfo(emf.data(), emf.size(), "x.emf", info), result::kTooLarge);
    Bitmap b;
    EXPECT_EQ(load(emf, "x.emf", b), result::kTooLarge);
    const Bytes fine = kamelo::test::emfWithBounds(639, 479);
    ASSERT_EQ(PictureFile::readInfo(fine.data(), fine.size(), "x.emf", info), 1);
    EXPECT_EQ(info.width, 640);

    const Bytes sgi = kamelo::test::sgiWithChannels(65535);
    EXPECT_EQ(PictureFile::readInfo(sgi.data(), sgi.size(), "x.sgi", info), result::kUnsupported);
    const Bytes rgba = kamelo::test::sgiWithChannels(4);
    ASSERT_EQ(PictureFile::readInfo(rgba.data(), rgba.size(), "x.sgi", info), 1);
    EXPECT_EQ(info.bitsPerPixel, 32);
}
