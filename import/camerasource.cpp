#include "camerasource.h"

#include "exif/core/jpegsectionreader.h"
#include "import/core/acquireformats.h"
#include "platform/fileerrortext.h"
#include "platform/nameorder.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::acquire {

namespace {

// A camera's folders nest a few levels (DCIM/100CANON); deeper is not a
// camera's doing and is not walked.
constexpr int kMaxDepth = 8;
// The first bytes of a JPEG hold its EXIF block in nearly every camera file.
constexpr size_t kHeadBytes = size_t(64) << 10;
constexpr char kStagingPattern[] = "/.kamelo-camera-XXXXXX";
constexpr char kStagingPrefix[] = ".kamelo-camera-";
// A staging folder untouched this long was left by a run that was killed:
// a live run touches its own at every file.
constexpr int64_t kStaleSeconds = 24 * 60 * 60;

// Empties and removes the staging folders killed runs left in folder.
void sweepStaging(const std::string& folder) {
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code e;
        if (name.rfind(kStagingPrefix, 0) != 0 || !it->is_directory(e) || it->is_symlink(e))
            continue;
        const auto age = now - std::filesystem::last_write_time(it->path(), e);
        if (e || std::chrono::duration_cast<std::chrono::seconds>(age).count() < kStaleSeconds)
            continue;
        // Only the files a run put there; anything else keeps the folder.
        for (std::filesystem::directory_iterator f(it->path(), e), fend; !e && f != fend;
             f.increment(e))
            if (f->is_regular_file(e) && !f->is_symlink(e))
                std::filesystem::remove(f->path(), e);
        ::rmdir(it->path().c_str());
    }
}

std::string exifDate(const std::vector<uint8_t>& head) {
    if (head.size() < 4 || head[0] != 0xFF || head[1] != 0xD8)
        return {};
    std::FILE* f = ::fmemopen(const_cast<uint8_t*>(head.data()), head.size(), "rb");
    if (!f)
        return {};
    ExifImageInfo info;
    JpegSectionReader reader(&info);
    reader.readSections(f);
    std::fclose(f);
    return info.dateTime.size() == ExifImageInfo::kDateLength ? info.dateTime : std::string{};
}

std::string timeDate(int64_t seconds) {
    const std::time_t t = std::time_t(seconds);
    struct tm local {};
    if (seconds <= 0 || !::localtime_r(&t, &local))
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
    return text;
}

std::string join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

} // namespace

CameraSource::CameraSource(std::unique_ptr<GPhotoCamera> camera) : camera_(std::move(camera)) {}

CameraSource::~CameraSource() {
    finished();
}

void CameraSource::finished() {
    for (std::string& path : staged_) {
        if (!path.empty())
            ::unlink(path.c_str());
        path.clear();
    }
    if (!staging_.empty())
        ::rmdir(staging_.c_str());
    staging_.clear();
}

std::string CameraSource::dateOf(const CameraPhoto& photo) {
    std::string ext = fileExtension(photo.name);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (headReadable_ && (ext == ".jpg" || ext == ".jpeg")) {
        std::vector<uint8_t> head;
        const int rc = camera_->readHead(photo.folder, photo.name, kHeadBytes, head);
        if (rc == GPhotoCamera::kNotSupported)
            headReadable_ = false;
        const std::string date = exifDate(head);
        if (!date.empty())
            return date;
    }
    return timeDate(photo.mtime);
}

int CameraSource::walk(const std::string& folder, int depth, std::vector<CameraPhoto>& photos,
                       const std::atomic<bool>* stop, const Listed& listed) {
    std::vector<GPhotoCamera::Entry> files;
    std::vector<std::string> folders;
    if (const int rc = camera_->listFolder(folder, files, folders))
        return rc;
    std::erase_if(files, [](const GPhotoCamera::Entry& e) { return !isAcceptedPath(e.name); });
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return NameOrder::lessThan(QString::fromStdString(a.name), QString::fromStdString(b.name));
    });
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        return NameOrder::lessThan(QString::fromStdString(a), QString::fromStdString(b));
    });
    for (const GPhotoCamera::Entry& e : files) {
        if (stop && stop->load())
            return 0;
        CameraPhoto p{folder, e.name, e.size, e.mtime, {}};
        p.date = dateOf(p);
        photos.push_back(std::move(p));
        if (listed)
            listed(photos.size());
    }
    if (depth >= kMaxDepth)
        return 0;
    for (const std::string& sub : folders) {
        if (stop && stop->load())
            return 0;
        // A sub-folder that cannot be listed leaves the rest listed, unless
        // the camera itself is gone.
        const int rc = walk(join(folder, sub), depth + 1, photos, stop, listed);
        if (rc != 0 && !camera_->present())
            return rc;
    }
    return 0;
}

int CameraSource::list(std::vector<CameraPhoto>& photos, const std::atomic<bool>* stop,
                       const Listed& listed) {
    photos.clear();
    return walk("/", 0, photos, stop, listed);
}

void CameraSource::prepare(std::vector<CameraPhoto> photos, const std::string& destination) {
    photos_ = std::move(photos);
    destination_ = destination;
    staged_.assign(photos_.size(), {});
}

SourceFetcher::Fetch CameraSource::fetch(size_t index, std::string& path, std::string& reason) {
    if (index >= photos_.size())
        return Fetch::Failed;
    const CameraPhoto& photo = photos_[index];
    if (staging_.empty()) {
        sweepStaging(destination_);
        std::string pattern = destination_ + kStagingPattern;
        if (!::mkdtemp(pattern.data())) {
            reason = FileErrorText::reason(errno).toStdString();
            return Fetch::Failed;
        }
        staging_ = pattern;
    }
    // The local file keeps the camera's name: the naming rules read it.
    const std::string local = staging_ + "/" + photo.name;
    const int fd =
        ::open(local.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        reason = FileErrorText::reason(errno).toStdString();
        return Fetch::Failed;
    }
    staged_[index] = local;
    const int rc = camera_->download(photo.folder, photo.name, fd);
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0;
    if (rc == 0 && photo.mtime > 0) {
        const struct timespec times[2] = {{photo.mtime, 0}, {photo.mtime, 0}};
        ::futimens(fd, times);
    }
    ::close(fd);
    if (rc != 0) {
        release(index);
        if (!camera_->present())
            return Fetch::Gone;
        reason = res::format(res::IDS_ACQUIRE_CAMERA_FAILED, GPhotoCamera::errorText(rc).c_str());
        return Fetch::Failed;
    }
    if (!sized || (photo.size != 0 && uint64_t(st.st_size) != photo.size)) {
        release(index);
        reason = res::text(res::IDS_ACQUIRE_SIZE_MISMATCH);
        return Fetch::Failed;
    }
    path = local;
    return Fetch::Ready;
}

void CameraSource::release(size_t index) {
    if (index < staged_.size() && !staged_[index].empty()) {
        ::unlink(staged_[index].c_str());
        staged_[index].clear();
    }
}

bool CameraSource::removeOriginal(size_t index, std::string& reason) {
    if (index >= photos_.size())
        return false;
    const int rc = camera_->remove(photos_[index].folder, photos_[index].name);
    if (rc == 0)
        return true;
    reason = camera_->present() ? GPhotoCamera::errorText(rc)
                                : std::string(res::text(res::IDS_ACQUIRE_CAMERA_GONE));
    return false;
}

} // namespace kamelo::acquire
