#include "importcopier.h"
#include "importcopiersource.h"

#include "exif/core/jpegsectionreader.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/core/savebyextension.h"
#include "imaging/filecomments.h"
#include "imaging/losslessjpeg.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "imaging/picturesaver.h"
#include "import/core/acquireformats.h"
#include "platform/core/staletemporaries.h"
#include "platform/fileerrortext.h"
#include "resources/stringtable.h"
#include "safewrite.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

// How one picture is written: copied by the kernel or by reads and writes,
// or turned upright, always through a checked temporary file.
namespace kamelo::acquire {

using namespace copying;

int ImportCopier::writeChecked(int fd, const std::string& target, uint64_t offset,
                               const uint8_t* data, size_t size) {
    if (hooks_.writeFault)
        if (const int fault = hooks_.writeFault(target, offset + size))
            return fault;
    return SafeWrite::writeAll(fd, data, size);
}

ImportCopier::Result ImportCopier::placeChecked(const std::string& temp, const std::string& target,
                                                bool replace, std::string& placed,
                                                std::string& reason) {
    std::string name = target;
    // A file that appeared under the name since the clash check is never
    // replaced: the copy takes the next free name instead.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int rc = SafeWrite::place(temp, name, replace);
        if (rc == 0) {
            placed = name;
            return Result::Imported;
        }
        if (rc != EEXIST || replace) {
            ::unlink(temp.c_str());
            reason = errnoText(rc);
            return Result::Failed;
        }
        name = ClashState::freeName(name, SafeWrite::exists);
    }
    ::unlink(temp.c_str());
    reason = errnoText(EEXIST);
    return Result::Failed;
}

ImportCopier::Result ImportCopier::writeTurned(Source& src, const std::string& target, bool replace,
                                               int orientation, std::string& placed,
                                               std::string& reason) {
    // Anything short of a turned picture ready to write returns Skipped: the
    // caller then copies the file unchanged, so the orientation mark stays
    // true to the pixels.
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
    const std::string ext = imaging::upperExtension(target);
    imaging::LosslessJpeg::Options options;
    options.upright = true;
    imaging::LosslessJpeg::Result turned;
    if (ext == "JPG" && imaging::LosslessJpeg::turn({src.whole.data(), src.whole.size()},
                                                    imaging::PlaneTurn::upright(orientation),
                                                    options, turned) >= 1) {
        // Turned on its compressed data: the picture and all it carries kept.
        bytes = std::move(turned.bytes);
        width = turned.width;
        height = turned.height;
        if (turned.reencoded)
            src.turnNote = res::format(res::IDS_ROTATE_REENCODED, turned.quality);
    } else {
        imaging::Bitmap bitmap;
        if (imaging::PictureFile::load(src.whole.data(), src.whole.size(), target, bitmap) < 1 ||
            imaging::Orientation::makeUpright(bitmap, orientation) < 1)
            return Result::Skipped;
        int rc = 0;
        if (ext == "JPG") {
            JpegPropertyInfo properties = JpegPropertyInfo::read(src.path);
            JpegPropertyInfo::Item upright;
            upright.kind = JpegPropertyInfo::Kind::Short;
            upright.shortValue = 1;
            properties.set(kOrientationTag, upright);
            rc = properties.encodeJpeg(bitmap, kJpegQuality, bytes);
        } else {
            rc = imaging::PictureSaver::encode(
                bitmap, imaging::PictureSaver::formatForExtension(ext), 2, bytes);
        }
        if (rc < 1)
            return Result::Skipped;
        width = bitmap.width();
        height = bitmap.height();
    }
    if (bytes.empty())
        return Result::Skipped;

    std::string temp;
    int fd = -1;
    if (const int e = SafeWrite::createTemp(target, temp, fd)) {
        reason = errnoText(e);
        return Result::Failed;
    }
    int e = writeChecked(fd, target, 0, bytes.data(), bytes.size());
    if (e == 0) {
        const struct timespec times[2] = {src.mtime, src.mtime};
        ::futimens(fd, times);
    }
    if (::close(fd) != 0 && e == 0)
        e = errno;
    if (e != 0) {
        ::unlink(temp.c_str());
        reason = errnoText(e);
        return Result::Failed;
    }
    // Checked when the written file reads back at the turned size: decoded
    // in full when the source is to go, by its header otherwise.
    bool good = false;
    if (job_.deleteSource) {
        imaging::Bitmap back;
        good = imaging::PictureFile::load(temp, back) >= 1 && back.width() == width &&
               back.height() == height;
    } else {
        imaging::FileInfo info;
        good = imaging::PictureFile::readInfo(temp, info) >= 1 && info.width == width &&
               info.height == height;
    }
    if (!good) {
        ::unlink(temp.c_str());
        return Result::Skipped;
    }
    const Result placedResult = placeChecked(temp, target, replace, placed, reason);
    return placedResult == Result::Imported ? Result::Turned : placedResult;
}

ImportCopier::KernelCopy ImportCopier::kernelCopy(Source& src, int fd, const std::string& target,
                                                  const std::atomic<bool>& stop,
                                                  uint64_t& written) {
    loff_t in = 0;
    written = 0;
    for (;;) {
        if (stop.load())
            return KernelCopy::Cancelled;
        if (hooks_.writeFault)
            if (const int fault = hooks_.writeFault(target, written + kKernelChunk)) {
                errno = fault;
                return KernelCopy::Failed;
            }
        const ssize_t n = ::copy_file_range(src.fd, &in, fd, nullptr, kKernelChunk, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (written == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                                 errno == EOPNOTSUPP || errno == EBADF))
                return KernelCopy::Unsupported;
            return KernelCopy::Failed;
        }
        if (n == 0)
            return KernelCopy::Done;
        written += uint64_t(n);
    }
}

ImportCopier::Result ImportCopier::copyPlain(Source& src, const std::string& target, bool replace,
                                             const std::atomic<bool>& stop, std::string& placed,
                                             std::string& reason) {
    std::string temp;
    int fd = -1;
    if (const int rc = SafeWrite::createTemp(target, temp, fd)) {
        reason = errnoText(rc);
        return Result::Failed;
    }
    auto fail = [&](int error, const std::string& text) {
        ::close(fd);
        ::unlink(temp.c_str());
        reason = text.empty() ? errnoText(error) : text;
        return Result::Failed;
    };
    uint64_t written = 0;
    int rc = 0;
    if (!src.whole.empty()) {
        rc = writeChecked(fd, target, 0, src.whole.data(), src.whole.size());
        written = src.whole.size();
    } else {
        // Without a checksum to take, the kernel copies the bytes from the
        // start of the file (one copy in memory instead of two); a file
        // system that cannot falls back to reading and writing.
        bool streamed = true;
        if (!job_.deleteSource) {
            const KernelCopy k = kernelCopy(src, fd, target, stop, written);
            if (k == KernelCopy::Cancelled) {
                ::close(fd);
                ::unlink(temp.c_str());
                return Result::Cancelled;
            }
            if (k == KernelCopy::Failed)
                return fail(errno, {});
            streamed = k == KernelCopy::Unsupported;
        }
        if (streamed) {
            rc = writeChecked(fd, target, 0, buffer_.data(), src.headSize);
            written = src.headSize;
        }
        const bool more = streamed && !src.headAtEnd;
        while (rc == 0 && more) {
            if (stop.load()) {
                ::close(fd);
                ::unlink(temp.c_str());
                return Result::Cancelled;
            }
            const ssize_t n = readFull(src.fd, buffer_.data(), buffer_.size());
            if (n < 0)
                return fail(errno, {});
            if (n == 0)
                break;
            if (job_.deleteSource)
                src.sum.add(buffer_.data(), size_t(n));
            rc = writeChecked(fd, target, written, buffer_.data(), size_t(n));
            written += uint64_t(n);
            if (size_t(n) < buffer_.size())
                break;
        }
    }
    if (rc != 0)
        return fail(rc, {});
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(errno, {});
    if (uint64_t(st.st_size) != written || written != src.size)
        return fail(0, tableText(res::IDS_ACQUIRE_SIZE_MISMATCH));
    const struct timespec times[2] = {src.mtime, src.mtime};
    ::futimens(fd, times);
    if (::close(fd) != 0) {
        fd = -1;
        ::unlink(temp.c_str());
        reason = errnoText(errno);
        return Result::Failed;
    }
    if (job_.deleteSource) {
        ContentSum back;
        if (const int e = SafeWrite::readBack(temp, back)) {
            ::unlink(temp.c_str());
            reason = errnoText(e);
            return Result::Failed;
        }
        if (back.bytes() != src.sum.bytes() || back.value() != src.sum.value()) {
            ::unlink(temp.c_str());
            reason = tableText(res::IDS_ACQUIRE_SUM_MISMATCH);
            return Result::Failed;
        }
    }
    return placeChecked(temp, target, replace, placed, reason);
}

} // namespace kamelo::acquire
