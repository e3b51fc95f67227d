#include "importcopier.h"

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

namespace kamelo::acquire {

namespace {

constexpr size_t kChunk = size_t(1) << 20;
// The first bytes, read for the camera date and orientation: the segments
// before a JPEG's scan data fit in it in nearly every camera file.
constexpr size_t kHead = size_t(128) << 10;
// Bytes the kernel copies at a time, between checks of the stop flag.
constexpr uint64_t kKernelChunk = uint64_t(8) << 20;
// A picture read whole to be turned; a larger one is copied as it is.
constexpr uint64_t kMaxTurnBytes = uint64_t(512) << 20;
constexpr int kJpegQuality = 96;
constexpr uint16_t kOrientationTag = 274;

std::string errnoText(int error) {
    return FileErrorText::reason(error).toStdString();
}

std::string tableText(int id) {
    return std::string(res::text(id));
}

// Reads up to size bytes; the count, or -1 with errno.
ssize_t readFull(int fd, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// The upper-cased extensions a turned picture is written as; anything else
// is copied as it is.
bool turnable(const std::string& path) {
    const std::string e = imaging::upperExtension(path);
    return e == "JPG" || e == "BMP" || e == "PCX" || e == "PNG";
}

} // namespace

struct ImportCopier::Source {
    std::string path;
    int fd = -1;
    uint64_t size = 0;
    struct timespec mtime {};
    size_t headSize = 0;        // bytes of buffer_ read so far
    std::vector<uint8_t> whole; // the whole file, when it is to be turned
    ContentSum sum;             // of every byte read
    std::string turnNote;       // how a turned JPEG was written, when worth saying
    ~Source() {
        if (fd >= 0)
            ::close(fd);
    }
};

ImportCopier::ImportCopier(ImportJob job, CopyHooks hooks)
    : job_(std::move(job)), hooks_(std::move(hooks)) {}

bool ImportCopier::names(const std::string& path, const std::set<FileId>& ids) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (ids.count({uint64_t(st.st_dev), uint64_t(st.st_ino)}))
        return true;
    return S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) == 0 &&
           ids.count({uint64_t(st.st_dev), uint64_t(st.st_ino)});
}

void ImportCopier::note(ImportEvents& events, const std::string& source, std::string text) {
    events.noted(source, text);
    notes_.push_back({source, std::move(text)});
}

ImportCopier::Head ImportCopier::readHead(const uint8_t* data, size_t size) const {
    Head head;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return head;
    // The sections up to the scan data are in the first block of nearly
    // every camera file; a reader over those bytes needs no second read.
    std::FILE* f = ::fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f)
        return head;
    ExifImageInfo info;
    JpegSectionReader reader(&info);
    reader.readSections(f);
    std::fclose(f);
    head.date = info.dateTime;
    if (info.orientation >= 1 && info.orientation <= 8)
        head.orientation = info.orientation;
    return head;
}

void ImportCopier::noteKnown(const std::string& path) {
    struct stat st;
    if (indexed_ && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        known_.emplace(uint64_t(st.st_size), path);
}

bool ImportCopier::alreadyThere(const Source& src) {
    if (!indexed_) {
        indexed_ = true;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(job_.folder, ec), end; !ec && it != end;
             it.increment(ec))
            if (it->path().filename().string().rfind('.', 0) != 0)
                noteKnown(it->path().string());
    }
    auto [first, last] = known_.equal_range(src.size);
    if (first == last)
        return false;
    // Only a file of the same size is worth reading whole.
    ContentSum mine;
    if (SafeWrite::readBack(src.path, mine) != 0 || mine.bytes() != src.size)
        return false;
    for (auto it = first; it != last; ++it) {
        auto sum = knownSums_.find(it->second);
        if (sum == knownSums_.end()) {
            ContentSum theirs;
            if (SafeWrite::readBack(it->second, theirs) != 0)
                continue;
            sum = knownSums_.emplace(it->second, std::make_pair(theirs.bytes(), theirs.value()))
                      .first;
        }
        if (sum->second == std::make_pair(mine.bytes(), mine.value()))
            return true;
    }
    return false;
}

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
    if (e == 0 && job_.deleteSource && ::fsync(fd) != 0)
        e = errno;
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
        const bool more = streamed && src.headSize == kHead;
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
    if (job_.deleteSource && ::fsync(fd) != 0)
        return fail(errno, {});
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

ImportCopier::Result ImportCopier::importOne(size_t index, ImportEvents& events,
                                             const std::atomic<bool>& stop,
                                             std::string& destination, std::string& reason) {
    const std::string& source = job_.sources[index];
    std::string local = source;
    if (job_.fetcher) {
        const SourceFetcher::Fetch f = job_.fetcher->fetch(index, local, reason);
        if (f == SourceFetcher::Fetch::Gone)
            return Result::Gone;
        if (f == SourceFetcher::Fetch::Failed)
            return Result::Failed;
    }
    Source src;
    src.path = local;
    // Not blocking on a FIFO or device: only regular files are read.
    src.fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (src.fd < 0) {
        reason = errnoText(errno);
        return Result::Failed;
    }
    struct stat st;
    if (::fstat(src.fd, &st) != 0) {
        reason = errnoText(errno);
        return Result::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = tableText(res::IDS_ACQUIRE_NOT_A_FILE);
        return Result::Failed;
    }
    // The file read, and what its name names (a link itself when it is one).
    std::set<FileId> self{{uint64_t(st.st_dev), uint64_t(st.st_ino)}};
    sources_.insert(*self.begin());
    struct stat named;
    if (::lstat(local.c_str(), &named) == 0) {
        sourceEntries_[index] = {uint64_t(named.st_dev), uint64_t(named.st_ino)};
        self.insert(sourceEntries_[index]);
    }
    src.size = uint64_t(st.st_size);
    src.mtime = st.st_mtim;
    buffer_.resize(kChunk);
    const ssize_t got = readFull(src.fd, buffer_.data(), kHead);
    if (got < 0) {
        reason = errnoText(errno);
        return Result::Failed;
    }
    src.headSize = size_t(got);
    if (job_.deleteSource)
        src.sum.add(buffer_.data(), src.headSize);
    if (job_.skipImported && alreadyThere(src))
        return Result::Already;

    const bool wantsDate =
        job_.names.size() != job_.sources.size() && job_.naming.rule == NameRule::DateTaken;
    Head head = wantsDate || job_.autoRotate ? readHead(buffer_.data(), src.headSize) : Head{};
    // A phone's HEIF or a camera's RAW file names its capture date in its
    // own EXIF block; such files are never turned, only copied.
    if (wantsDate && head.date.empty() &&
        std::find(imaging::modernExtensions().begin(), imaging::modernExtensions().end(),
                  imaging::extensionOf(source)) != imaging::modernExtensions().end())
        head.date = imaging::FileComments::text(local, imaging::comment::kDateTimeOriginal)
                        .substr(0, ExifImageInfo::kDateLength);
    const std::string name = job_.names.size() == job_.sources.size()
                                 ? job_.names[index]
                                 : destinationName(job_.naming, index, source, head.date);
    const std::string wanted = job_.folder + "/" + name;
    // Already where it would go (the destination is the source folder,
    // under any path): copying it over itself and deleting "the source"
    // would leave nothing.
    if (names(wanted, self)) {
        note(events, source, tableText(res::IDS_ACQUIRE_SAME_AS_SOURCE));
        return Result::Skipped;
    }

    ClashState::Resolution r =
        clash_.resolve(wanted, SafeWrite::exists, [&](const std::string& existing) {
            return events.askClash(existing, source);
        });
    if (r.action == ClashState::Action::Skip)
        return Result::Skipped;
    if (r.action == ClashState::Action::Stop)
        return Result::Stop;
    if (r.action == ClashState::Action::Replace && names(r.path, sources_)) {
        // Another photo of this run: overwriting would lose it.
        const std::string free = ClashState::freeName(r.path, SafeWrite::exists);
        note(events, source,
             res::format(res::IDS_ACQUIRE_SOURCE_NAME_TAKEN, fileName(r.path).c_str(),
                         fileName(free).c_str()));
        r = {ClashState::Action::Write, free};
    }
    const bool replace = r.action == ClashState::Action::Replace;
    events.copying(source, r.path);

    const bool turn =
        job_.autoRotate && head.orientation != 1 && turnable(r.path) && src.size <= kMaxTurnBytes;
    if (turn) {
        src.whole.assign(buffer_.begin(), buffer_.begin() + ptrdiff_t(src.headSize));
        if (src.headSize == kHead) {
            src.whole.resize(size_t(src.size) + 1);
            const ssize_t n =
                readFull(src.fd, src.whole.data() + src.headSize, src.whole.size() - src.headSize);
            if (n < 0) {
                reason = errnoText(errno);
                return Result::Failed;
            }
            src.whole.resize(src.headSize + size_t(n));
            if (job_.deleteSource)
                src.sum.add(src.whole.data() + src.headSize, size_t(n));
        }
        const Result t = writeTurned(src, r.path, replace, head.orientation, destination, reason);
        if (t == Result::Turned && !src.turnNote.empty())
            note(events, source, src.turnNote);
        if (t != Result::Skipped)
            return t;
    }
    return copyPlain(src, r.path, replace, stop, destination, reason);
}

ImportSummary ImportCopier::run(ImportEvents& events, const std::atomic<bool>& stop,
                                const std::atomic<bool>& detached) {
    ImportSummary summary;
    summary.total = int(job_.sources.size());
    // Temporary files a killed run left in the folder go first.
    StaleTemporaries::sweepOnce(job_.folder);
    sourceEntries_.assign(job_.sources.size(), FileId{});
    // A camera's paths name nothing on this computer.
    for (const std::string& source : job_.fetcher ? std::vector<std::string>{} : job_.sources) {
        struct stat st;
        if (::lstat(source.c_str(), &st) == 0)
            sources_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)});
        if (::stat(source.c_str(), &st) == 0)
            sources_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)});
    }
    events.started(summary.total);
    std::vector<size_t> checked;
    size_t i = 0;
    for (; i < job_.sources.size(); ++i) {
        if (stop.load()) {
            summary.cancelled = true;
            break;
        }
        std::string destination, reason;
        const Result r = importOne(i, events, stop, destination, reason);
        if (job_.fetcher)
            job_.fetcher->release(i);
        if (r == Result::Gone) {
            summary.deviceGone = true;
            break;
        }
        if (r == Result::Stop) {
            summary.stoppedAtClash = true;
            break;
        }
        if (r == Result::Cancelled) {
            summary.cancelled = true;
            break;
        }
        if (r == Result::Skipped || r == Result::Already) {
            ++summary.skipped;
            summary.alreadyImported += r == Result::Already;
            continue;
        }
        if (r == Result::Failed) {
            ++summary.failed;
            summary.failures.push_back({job_.sources[i], reason});
            events.failed(job_.sources[i], reason);
            continue;
        }
        ++summary.imported;
        if (r == Result::Turned)
            ++summary.turned;
        clash_.noteWritten(destination);
        noteKnown(destination);
        summary.written.push_back(destination);
        checked.push_back(i);
        events.written(job_.sources[i], destination);
    }
    summary.notReached = int(job_.sources.size() - i);
    if (job_.fetcher)
        job_.fetcher->finished();
    summary.notes = notes_;
    // Nothing is deleted from a device that went away: what it still holds
    // cannot be told from what it held.
    if (job_.deleteSource && job_.mayDelete && !checked.empty() && !summary.deviceGone)
        deleteSources(checked, detached, summary);
    return summary;
}

void ImportCopier::deleteSources(const std::vector<size_t>& checked,
                                 const std::atomic<bool>& detached, ImportSummary& summary) const {
    // The renames must be on the disk before the only other copy goes.
    if (const int rc = SafeWrite::syncFolder(job_.folder)) {
        for (size_t k : checked) {
            ++summary.deleteFailed;
            summary.failures.push_back({job_.sources[k], errnoText(rc)});
        }
        return;
    }
    for (size_t k : checked) {
        if (detached.load())
            break;
        const std::string& source = job_.sources[k];
        if (job_.fetcher) {
            std::string reason;
            if (job_.fetcher->removeOriginal(k, reason)) {
                ++summary.deleted;
            } else {
                ++summary.deleteFailed;
                summary.failures.push_back({source, reason});
            }
            continue;
        }
        struct stat st;
        if (::lstat(source.c_str(), &st) != 0 ||
            FileId{uint64_t(st.st_dev), uint64_t(st.st_ino)} != sourceEntries_[k]) {
            ++summary.deleteFailed;
            summary.failures.push_back({source, tableText(res::IDS_ACQUIRE_SOURCE_CHANGED)});
            continue;
        }
        if (::unlink(source.c_str()) == 0) {
            ++summary.deleted;
        } else {
            ++summary.deleteFailed;
            summary.failures.push_back({source, errnoText(errno)});
        }
    }
}

} // namespace kamelo::acquire
