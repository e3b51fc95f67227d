#include "renamefilesystem.h"

#include "platform/core/fileops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo {

namespace {

std::string flipCase(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return s;
}

class LocalFileSystem : public RenameFileSystem {
public:
    std::optional<Entry> look(const std::string& path) const override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            return std::nullopt;
        return Entry{uint64_t(st.st_dev), uint64_t(st.st_ino),
                     S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)};
    }
    std::optional<Entry> folder(const std::string& path) const override {
        struct stat st {};
        if (::stat(path.empty() ? "." : path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return std::nullopt;
        return Entry{uint64_t(st.st_dev), uint64_t(st.st_ino), false};
    }
    bool list(const std::string& folder,
              std::vector<std::pair<std::string, Entry>>& out) const override {
        const std::string path = folder.empty() ? std::string(".") : folder;
        DIR* dir = ::opendir(path.c_str());
        if (!dir)
            return false;
        struct stat st {};
        const bool ok = ::fstat(::dirfd(dir), &st) == 0;
        while (const dirent* e = ok ? ::readdir(dir) : nullptr) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            Entry entry{uint64_t(st.st_dev), uint64_t(e->d_ino),
                        e->d_type == DT_REG || e->d_type == DT_LNK};
            if (e->d_type == DT_UNKNOWN) {
                struct stat one {};
                if (::fstatat(::dirfd(dir), e->d_name, &one, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                entry = {uint64_t(one.st_dev), uint64_t(one.st_ino),
                         S_ISREG(one.st_mode) || S_ISLNK(one.st_mode)};
            }
            out.push_back({name, entry});
        }
        ::closedir(dir);
        return ok;
    }
    size_t nameMax(const std::string& folder) const override {
        const long max = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
        return max > 0 ? size_t(max) : 255;
    }
    int rename(const std::string& from, const std::string& to) override {
        return FileOps::rename(from, to).code;
    }
};

} // namespace

void RenameFileSystem::FolderIndex::setNames(
    const std::vector<std::pair<std::string, Entry>>& entries) {
    size_t bytes = 0;
    for (const auto& e : entries)
        bytes += e.first.size();
    text_.clear();
    text_.reserve(bytes);
    ends_.clear();
    ends_.reserve(entries.size());
    entries_.clear();
    entries_.reserve(entries.size());
    table_.reset(entries.size());
    for (const auto& [name, entry] : entries) {
        const uint32_t id = uint32_t(entries_.size());
        const uint32_t held =
            table_.insert(renamekeys::hash(name, ignoresCase), id, [&](uint32_t other) {
                return renamekeys::same(nameAt(other), ignoresCase, name, ignoresCase);
            });
        if (held != id)
            continue;
        text_ += name;
        ends_.push_back(text_.size());
        entries_.push_back(entry);
    }
}

std::optional<RenameFileSystem::Entry>
RenameFileSystem::FolderIndex::find(std::string_view name, uint64_t nameHash) const {
    const uint32_t at = table_.find(nameHash, [&](uint32_t held) {
        return renamekeys::same(nameAt(held), ignoresCase, name, ignoresCase);
    });
    return at == renamekeys::IdTable::kNone ? std::nullopt : std::optional(entries_[at]);
}

std::shared_ptr<const RenameFileSystem::FolderIndex>
RenameFileSystem::index(const std::string& path) const {
    auto f = std::make_shared<FolderIndex>();
    const std::optional<Entry> dir = folder(path);
    if (!dir)
        return f;
    f->exists = true;
    f->key = std::to_string(dir->device) + ":" + std::to_string(dir->inode) + "/";
    f->nameMax = nameMax(path);
    std::vector<std::pair<std::string, Entry>> entries;
    f->listed = list(path, entries);
    // Whether the folder ignores case shows on the first name with
    // letters: found in another case, as the same file.
    for (const auto& [name, entry] : entries) {
        const std::string flipped = flipCase(name);
        if (flipped == name)
            continue;
        bool listedToo = false;
        for (const auto& other : entries)
            if (other.first == flipped) {
                listedToo = true;
                break;
            }
        f->ignoresCase = !listedToo && look(join(path, flipped)) == entry;
        break;
    }
    f->setNames(entries);
    return f;
}

RenameFileSystem& RenameFileSystem::local() {
    static LocalFileSystem fs;
    return fs;
}

std::string RenameFileSystem::join(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

} // namespace kamelo
