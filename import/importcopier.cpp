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
#include "import/core/jpeghead.h"
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

namespace copying {

std::string errnoText(int error) {
    return FileErrorText::reason(error).toStdString();
}

std::string tableText(int id) {
    return std::string(res::text(id));
}

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

bool turnable(const std::string& path) {
    const std::string e = imaging::upperExtension(path);
    return e == "JPG" || e == "BMP" || e == "PCX" || e == "PNG";
}

} // namespace copying

using namespace copying;

ImportCopier::ImportCopier(ImportJob job, CopyHooks hooks)
    : job_(std::move(job)), hooks_(std::move(hooks)) {}

bool ImportCopier::names(const std::string& path, const std::set<FileId>& ids, bool* exists) {
    struct stat st;
    const bool there = ::lstat(path.c_str(), &st) == 0;
    if (exists)
        *exists = there;
    if (!there)
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
    reader.readSections(f, false);
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

int ImportCopier::readHeadTo(Source& src, size_t size) {
    const ssize_t got = readFull(src.fd, buffer_.data() + src.headSize, size - src.headSize);
    if (got < 0)
        return errno;
    if (job_.deleteSource)
        src.sum.add(buffer_.data() + src.headSize, size_t(got));
    src.headAtEnd = size_t(got) < size - src.headSize;
    src.headSize += size_t(got);
    return 0;
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
    const bool wantsDate =
        job_.names.size() != job_.sources.size() && job_.naming.rule == NameRule::DateTaken;
    int e = readHeadTo(src, kFirstRead);
    while (e == 0 && (wantsDate || job_.autoRotate) && !src.headAtEnd) {
        const size_t need = jpegHeadBytes(buffer_.data(), src.headSize, kHead);
        if (need <= src.headSize)
            break;
        // On in steps of at least the first read's size, not segment by
        // segment.
        e = readHeadTo(src, std::min(kHead, std::max(need, src.headSize + kFirstRead)));
    }
    if (e != 0) {
        reason = errnoText(e);
        return Result::Failed;
    }
    if (job_.skipImported && alreadyThere(src))
        return Result::Already;

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
    // would leave nothing. A name this run wrote names no source.
    bool wantedExists = true;
    if (!clash_.writtenThisRun(wanted) && names(wanted, self, &wantedExists)) {
        note(events, source, tableText(res::IDS_ACQUIRE_SAME_AS_SOURCE));
        return Result::Skipped;
    }
    // The names this run wrote are taken without looking again, and the
    // wanted one was just looked at: a burst of photos taken in the same
    // second probes its "_" names in memory.
    const auto taken = [&](const std::string& path) {
        if (path == wanted)
            return wantedExists;
        return clash_.writtenThisRun(path) || SafeWrite::exists(path);
    };
    ClashState::Resolution r = clash_.resolve(wanted, taken, [&](const std::string& existing) {
        return events.askClash(existing, source);
    });
    if (r.action == ClashState::Action::Skip)
        return Result::Skipped;
    if (r.action == ClashState::Action::Stop)
        return Result::Stop;
    if (r.action == ClashState::Action::Replace && names(r.path, allSources())) {
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
        if (!src.headAtEnd) {
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

const std::set<ImportCopier::FileId>& ImportCopier::allSources() {
    // Looked up only when a file is to be replaced; a camera's paths name
    // nothing on this computer.
    if (!sourcesIndexed_ && !job_.fetcher)
        for (const std::string& source : job_.sources) {
            struct stat st;
            if (::lstat(source.c_str(), &st) == 0)
                sources_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)});
            if (::stat(source.c_str(), &st) == 0)
                sources_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)});
        }
    sourcesIndexed_ = true;
    return sources_;
}

ImportSummary ImportCopier::run(ImportEvents& events, const std::atomic<bool>& stop,
                                const std::atomic<bool>& detached) {
    ImportSummary summary;
    summary.total = int(job_.sources.size());
    // Temporary files a killed run left in the folder go first.
    StaleTemporaries::sweepOnce(job_.folder);
    sourceEntries_.assign(job_.sources.size(), FileId{});
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
    // The copies and their names must be on the disk before the only other
    // copy goes.
    if (const int rc = SafeWrite::syncFileSystem(job_.folder)) {
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
