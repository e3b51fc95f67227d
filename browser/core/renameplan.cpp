#include "renameplan.h"

#include "browser/core/renamepattern.h"
#include "platform/core/fileops.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace kamelo {

namespace {

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string flipCase(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return s;
}

bool hasControl(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
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
    std::unordered_set<std::string> exact;
    for (const auto& e : entries)
        exact.insert(e.first);
    for (const auto& [name, entry] : entries) {
        const std::string flipped = flipCase(name);
        if (flipped == name)
            continue;
        f->ignoresCase = !exact.count(flipped) && look(join(path, flipped)) == entry;
        break;
    }
    f->names.reserve(entries.size());
    for (const auto& [name, entry] : entries)
        f->names.emplace(f->ignoresCase ? asciiLower(name) : name, entry);
    return f;
}

RenameFileSystem& RenameFileSystem::local() {
    static LocalFileSystem fs;
    return fs;
}

std::string RenamePlan::folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string RenamePlan::nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

RenamePlan::RenamePlan(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                       RenameFileSystem& fs)
    : fs_(&fs) {
    rows_.reserve(fromAndName.size());
    for (const auto& [from, name] : fromAndName) {
        Row r;
        r.from = from;
        r.name = name;
        r.to = join(folderOf(from), name);
        rows_.push_back(std::move(r));
    }
    check();
    if (firstProblem() < 0)
        order();
}

int RenamePlan::firstProblem() const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].problem != Problem::None)
            return int(i);
    return -1;
}

void RenamePlan::check() {
    // Each folder is read once: a keystroke checks thousands of names, and
    // one listing costs far less than a look-up per name.
    using Folder = RenameFileSystem::FolderIndex;
    std::map<std::string, std::shared_ptr<const Folder>> folders; // by spelling
    auto folderFor = [&](const std::string& path) -> const Folder& {
        auto [it, added] = folders.try_emplace(path);
        if (added)
            it->second = fs_->index(path);
        return *it->second;
    };
    auto find = [&](const Folder& f, const std::string& folder,
                    const std::string& name) -> std::optional<RenameFileSystem::Entry> {
        if (!f.listed)
            return fs_->look(join(folder, name));
        const auto it = f.names.find(f.ignoresCase ? asciiLower(name) : name);
        return it == f.names.end() ? std::nullopt : std::optional(it->second);
    };
    // Hashed, and keyed by views of keys_: a keystroke re-checks every row
    // of a folder of a hundred thousand pictures.
    struct FileHash {
        size_t operator()(const std::pair<uint64_t, uint64_t>& f) const {
            return std::hash<uint64_t>()(f.second * 0x9E3779B97F4A7C15ull ^ f.first);
        }
    };
    std::unordered_set<std::pair<uint64_t, uint64_t>, FileHash> files;
    const size_t n = rows_.size();
    files.reserve(n);
    folderInfo_.assign(n, {});
    keys_.assign(n, {});
    sourceKeys_.assign(n, {});
    std::vector<bool> changes(n, false);

    for (size_t i = 0; i < n; ++i) {
        Row& r = rows_[i];
        const std::string folder = folderOf(r.from);
        const std::string oldName = nameOf(r.from);
        const Folder& f = folderFor(folder);
        const std::optional<RenameFileSystem::Entry> file =
            f.exists ? find(f, folder, oldName) : std::nullopt;
        if (!file || !file->isFile) {
            r.problem = Problem::Missing;
            continue;
        }
        if (!files.insert({file->device, file->inode}).second) {
            r.problem = Problem::SameFile;
            continue;
        }
        r.file = *file;
        folderInfo_[i] = {f.nameMax, f.ignoresCase};
        changes[i] = oldName != r.name;

        const std::string_view ext = RenamePattern::extension(oldName);
        const bool keepsExt = r.name.size() >= ext.size() &&
                              r.name.compare(r.name.size() - ext.size(), ext.size(), ext) == 0;
        const size_t title = keepsExt ? r.name.size() - ext.size() : r.name.size();
        if (r.name.find('/') != std::string::npos || hasControl(r.name))
            r.problem = Problem::BadCharacter;
        else if (title == 0)
            r.problem = Problem::EmptyTitle;
        else if (r.name.front() == '.')
            r.problem = Problem::LeadingDot;
        else if (r.name.size() > f.nameMax) {
            r.problem = Problem::TooLong;
            r.nameLimit = f.nameMax;
        }
    }
    // Every row of a folder folds case the same way, whichever row found out.
    for (size_t i = 0; i < n; ++i) {
        if (rows_[i].problem == Problem::Missing || rows_[i].problem == Problem::SameFile)
            continue;
        const Folder& f = folderFor(folderOf(rows_[i].from));
        folderInfo_[i] = {f.nameMax, f.ignoresCase};
        auto fold = [&](const std::string& name) {
            return f.key + (f.ignoresCase ? asciiLower(name) : name);
        };
        keys_[i] = fold(rows_[i].name);
        sourceKeys_[i] = fold(nameOf(rows_[i].from));
    }

    std::unordered_map<std::string_view, size_t> targets; // rows taking each name
    std::unordered_set<std::string_view> vacated;
    targets.reserve(n);
    vacated.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (keys_[i].empty())
            continue;
        ++targets[keys_[i]];
        if (changes[i])
            vacated.insert(sourceKeys_[i]);
    }
    for (size_t i = 0; i < n; ++i)
        if (!keys_[i].empty() && targets[keys_[i]] > 1 && rows_[i].problem == Problem::None)
            rows_[i].problem = Problem::Duplicate;
    for (size_t i = 0; i < n; ++i) {
        Row& r = rows_[i];
        if (r.problem != Problem::None || !changes[i])
            continue;
        const std::string folder = folderOf(r.from);
        if (find(folderFor(folder), folder, r.name) && !vacated.count(std::string_view(keys_[i])))
            r.problem = Problem::Exists;
    }
}

void RenamePlan::order() {
    const size_t n = rows_.size();
    std::unordered_map<std::string_view, size_t> bySource;
    bySource.reserve(n);
    std::vector<bool> changes(n, false);
    for (size_t i = 0; i < n; ++i) {
        changes[i] = nameOf(rows_[i].from) != rows_[i].name;
        if (changes[i])
            bySource[sourceKeys_[i]] = i;
    }
    // next[r]: the row that has to leave r's target first.
    constexpr size_t kNone = size_t(-1);
    std::vector<size_t> next(n, kNone);
    std::vector<bool> awaited(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i])
            continue;
        const auto it = bySource.find(keys_[i]);
        if (it != bySource.end()) {
            next[i] = it->second;
            awaited[it->second] = true;
        }
    }
    std::vector<bool> done(n, false);
    auto step = [&](size_t row, const std::string& from, const std::string& to) {
        steps_.push_back({row, from, to});
    };
    // Chains: the last row of a chain moves to a free name first.
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i] || awaited[i])
            continue;
        std::vector<size_t> chain;
        for (size_t r = i; r != kNone && !done[r]; r = next[r]) {
            chain.push_back(r);
            done[r] = true;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            step(*it, rows_[*it].from, rows_[*it].to);
    }
    // What is left are cycles (a case-only change is a cycle of one): the
    // first row steps aside to a temporary name, the rest follow backwards.
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i] || done[i])
            continue;
        std::vector<size_t> cycle;
        for (size_t r = i; !done[r]; r = next[r]) {
            cycle.push_back(r);
            done[r] = true;
        }
        const std::string temporary = temporaryFor(i);
        step(i, rows_[i].from, temporary);
        for (size_t k = cycle.size(); k-- > 1;)
            step(cycle[k], rows_[cycle[k]].from, rows_[cycle[k]].to);
        step(i, temporary, rows_[i].to);
    }
}

std::string RenamePlan::temporaryFor(size_t row) {
    const std::string folder = folderOf(rows_[row].from);
    const std::string ext(RenamePattern::extension(nameOf(rows_[row].from)));
    const std::string folderKey = keys_[row].substr(0, keys_[row].find('/') + 1);
    std::unordered_set<std::string> taken(keys_.begin(), keys_.end());
    taken.insert(sourceKeys_.begin(), sourceKeys_.end());
    for (;;) {
        std::string name =
            "kamelo-rename-" + std::to_string(::getpid()) + "-" + std::to_string(++temporaries_);
        if (name.size() + ext.size() <= folderInfo_[row].nameMax)
            name += ext;
        const std::string key =
            folderKey + (folderInfo_[row].ignoresCase ? asciiLower(name) : name);
        const std::string path = join(folder, name);
        if (!taken.count(key) && !fs_->look(path))
            return path;
    }
}

RenamePlan::Outcome RenamePlan::apply(const std::function<void(size_t)>& afterStep) const {
    Outcome out;
    if (const int marked = firstProblem(); marked >= 0) {
        out.ok = false;
        out.row = size_t(marked);
        out.error = EINVAL;
        return out;
    }
    auto run = [this](const std::string& from, const std::string& to) {
        return fs_->rename(from, to);
    };
    for (size_t i = 0; i < steps_.size(); ++i) {
        const int rc = run(steps_[i].from, steps_[i].to);
        if (rc == 0) {
            if (afterStep)
                afterStep(i + 1);
            continue;
        }
        out.ok = false;
        out.row = steps_[i].row;
        out.error = rc;
        // Back the way it came; a file that cannot go back is named.
        std::vector<std::string> at(rows_.size());
        for (size_t r = 0; r < rows_.size(); ++r)
            at[r] = rows_[r].from;
        for (size_t k = 0; k < i; ++k)
            at[steps_[k].row] = steps_[k].to;
        for (size_t k = i; k-- > 0;)
            if (run(steps_[k].to, steps_[k].from) == 0)
                at[steps_[k].row] = steps_[k].from;
        for (size_t r = 0; r < rows_.size(); ++r)
            if (at[r] != rows_[r].from)
                out.stranded.push_back({at[r], rows_[r].from});
        return out;
    }
    return out;
}

} // namespace kamelo
