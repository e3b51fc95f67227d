#include "folderenumerator.h"

#include "base/pictureextensions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

std::string lowerExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string pathString(const fs::path& p) {
    return std::string(reinterpret_cast<const char*>(p.u8string().c_str()));
}

// An open folder read entry by entry; its descriptor names the entries for
// fstatat, so no path is walked again for each of them.
class FolderReader {
public:
    explicit FolderReader(const std::string& folder) {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        dir_ = ::fdopendir(fd);
        if (!dir_)
            ::close(fd);
    }
    ~FolderReader() {
        if (dir_)
            ::closedir(dir_);
    }
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    // The next entry's name, or null at the end or on an error (failed()).
    const char* next() {
        errno = 0;
        const dirent* e = ::readdir(dir_);
        if (!e) {
            failed_ = errno != 0;
            return nullptr;
        }
        return e->d_name;
    }
    bool failed() const { return failed_; }
    // Links followed, as the list shows what they lead to.
    bool stat(const char* name, struct stat& st) const {
        return ::fstatat(::dirfd(dir_), name, &st, 0) == 0;
    }

private:
    DIR* dir_ = nullptr;
    bool failed_ = false;
};

} // namespace

std::string FolderEnumerator::typeName(const std::string& extension) {
    std::string ext = extension;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ext == "JPG")
        return "JPEG";
    if (ext == "TIF")
        return "TIFF";
    return ext;
}

std::string FolderEnumerator::parentOf(const std::string& folder) {
    fs::path p = fs::path(folder).lexically_normal();
    if (p.has_filename() == false && p != p.root_path())
        p = p.parent_path(); // "a/b/" -> "a/b"
    if (p == p.root_path())
        return {};
    return pathString(p.parent_path());
}

int FolderEnumerator::countUpTo(const std::string& folder, int limit) {
    FolderReader reader(folder);
    if (!reader.isOpen())
        return -1;
    int n = 0;
    while (n < limit && reader.next())
        ++n;
    return reader.failed() ? -1 : n;
}

bool FolderEnumerator::enumerate(const std::string& folder, const EnumerateOptions& options,
                                 EnumerateResult& result) {
    result = {};
    FolderReader reader(folder);
    if (!reader.isOpen())
        return false;

    const CellRect iconRect = {(options.cellWidth - 32) / 2, (options.cellHeight - 32) / 2,
                               (options.cellWidth - 32) / 2 + 32,
                               (options.cellHeight - 32) / 2 + 32};
    if (options.withParent && !parentOf(folder).empty()) {
        CThumbData parent;
        parent.displayName = CThumbData::kParentName;
        parent.fullPath = CThumbData::kParentName;
        parent.itemKind = 1;
        parent.pictureRect = iconRect;
        result.records.push_back(parent);
        result.stamps.push_back({});
        ++result.folders;
    }

    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    std::vector<CThumbData> files;
    std::vector<FileStamp> fileStamps;
    while (const char* entry = reader.next()) {
        if (options.stop && options.stop->load(std::memory_order_relaxed))
            return false;
        const std::string name = entry;
        if (name.empty() || name[0] == '.')
            continue;
        struct stat st {};
        if (!reader.stat(entry, st))
            continue; // gone meanwhile, or a link leading nowhere
        CThumbData d;
        d.displayName = name;
        d.fullPath = prefix + name;
        if (S_ISDIR(st.st_mode)) {
            d.itemKind = 1;
            d.pictureRect = iconRect;
            result.records.push_back(std::move(d));
            result.stamps.push_back({0, int64_t(st.st_mtime)});
            ++result.folders;
            continue;
        }
        if (!S_ISREG(st.st_mode))
            continue;
        const std::string ext = lowerExtension(name);
        const bool picture = PictureExtensions::isPicture(ext);
        if (!picture && options.onlyPictures)
            continue;
        d.typeName = typeName(ext);
        d.pictureRect = iconRect;
        if (options.details) {
            d.fileSize = static_cast<uint32_t>(st.st_size);
            d.modifiedTime = static_cast<int32_t>(std::clamp<int64_t>(st.st_mtime, 0, INT32_MAX));
        }
        files.push_back(std::move(d));
        fileStamps.push_back({int64_t(st.st_size), int64_t(st.st_mtime)});
        ++(picture ? result.pictures : result.others);
    }
    if (reader.failed())
        return false;
    for (CThumbData& d : files)
        result.records.push_back(std::move(d));
    result.stamps.insert(result.stamps.end(), fileStamps.begin(), fileStamps.end());
    return true;
}

} // namespace kamelo
