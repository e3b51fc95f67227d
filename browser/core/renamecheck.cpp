#include "renamecheck.h"

#include "browser/core/renamepattern.h"

#include <map>
#include <unordered_set>
#include <utility>

namespace kamelo {

namespace {

size_t lastSlash(std::string_view path) {
    return path.rfind('/');
}

bool hasControl(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

// What is wrong with the name itself, whatever else the folder holds.
RenameProblem nameProblem(std::string_view name, std::string_view oldName, size_t nameMax) {
    const std::string_view ext = RenamePattern::extension(oldName);
    const bool keepsExt =
        name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
    const size_t title = keepsExt ? name.size() - ext.size() : name.size();
    if (name.find('/') != std::string_view::npos || hasControl(name))
        return RenameProblem::BadCharacter;
    if (title == 0)
        return RenameProblem::EmptyTitle;
    if (name.front() == '.')
        return RenameProblem::LeadingDot;
    if (name.size() > nameMax)
        return RenameProblem::TooLong;
    return RenameProblem::None;
}

struct FileHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& f) const {
        return std::hash<uint64_t>()(f.second * 0x9E3779B97F4A7C15ull ^ f.first);
    }
};

} // namespace

RenameSources::RenameSources(size_t count, const std::function<std::string_view(size_t)>& pathAt,
                             const RenameFileSystem& fs) {
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i)
        bytes += pathAt(i).size();
    text_.reserve(bytes);
    rows_.resize(count);
    files_.resize(count);
    byName_.reset(count);
    std::map<std::string, uint32_t, std::less<>> spellings;
    std::map<std::string, uint32_t, std::less<>> keys;
    std::unordered_set<std::pair<uint64_t, uint64_t>, FileHash> seen;
    seen.reserve(count);
    std::string lastSpelling; // rows of one folder mostly come together
    uint32_t lastFolder = 0;

    for (size_t i = 0; i < count; ++i) {
        Row& r = rows_[i];
        const size_t begin = text_.size();
        text_ += pathAt(i);
        r.end = text_.size();
        const size_t slash = lastSlash(std::string_view(text_).substr(begin));
        r.nameAt = slash == std::string_view::npos ? begin : begin + slash + 1;
        const std::string_view spelt = folder(i);
        if (i == 0 || spelt != lastSpelling) {
            auto it = spellings.find(spelt);
            if (it == spellings.end()) {
                Folder f;
                f.index = fs.index(std::string(spelt));
                f.key = keys.try_emplace(f.index->key, uint32_t(keys.size())).first->second;
                folders_.push_back(std::move(f));
                it = spellings.emplace(std::string(spelt), uint32_t(folders_.size() - 1)).first;
            }
            lastFolder = it->second;
            lastSpelling = spelt;
        }
        r.folder = lastFolder;

        const RenameFileSystem::FolderIndex& f = folderIndex(i);
        const std::string_view oldName = name(i);
        std::optional<RenameFileSystem::Entry> file;
        if (f.exists)
            file = f.listed ? f.find(oldName) : fs.look(RenameFileSystem::join(spelt, oldName));
        if (!file || !file->isFile) {
            r.problem = RenameProblem::Missing;
            continue;
        }
        if (!seen.insert({file->device, file->inode}).second) {
            r.problem = RenameProblem::SameFile;
            continue;
        }
        files_[i] = *file;
        const uint32_t key = folderKey(i);
        byName_.insert(renamekeys::inFolder(renamekeys::hash(oldName, f.ignoresCase), key),
                       uint32_t(i), [&](uint32_t other) {
                           return folderKey(other) == key &&
                                  renamekeys::same(name(other), ignoresCase(other), oldName,
                                                   f.ignoresCase);
                       });
    }
}

std::string_view RenameSources::folder(size_t row) const {
    const std::string_view p = path(row);
    const size_t slash = lastSlash(p);
    if (slash == std::string_view::npos)
        return {};
    return slash == 0 ? p.substr(0, 1) : p.substr(0, slash);
}

size_t RenameSources::rowNamed(size_t row, std::string_view name, uint64_t nameHash) const {
    const uint32_t key = folderKey(row);
    const bool fold = ignoresCase(row);
    const uint32_t found = byName_.find(renamekeys::inFolder(nameHash, key), [&](uint32_t other) {
        return folderKey(other) == key &&
               renamekeys::same(this->name(other), ignoresCase(other), name, fold);
    });
    return found == renamekeys::IdTable::kNone ? kNoRow : size_t(found);
}

RenameCheck::RenameCheck(std::shared_ptr<const RenameSources> sources, RenameNames names,
                         const RenameFileSystem& fs)
    : sources_(std::move(sources)), names_(std::move(names)) {
    const RenameSources& src = *sources_;
    const size_t n = src.size();
    // Each pass reads ahead: the tables are far bigger than the caches,
    // and a slot read each row would otherwise wait on memory.
    constexpr size_t kAhead = 16;
    problems_.assign(n, RenameProblem::None);
    std::vector<uint64_t> hashes(n, 0);
    std::vector<bool> changed(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (src.problem(i) != RenameProblem::None) {
            problems_[i] = src.problem(i);
            continue;
        }
        const RenameFileSystem::FolderIndex& f = src.folderIndex(i);
        const std::string_view newName = name(i);
        problems_[i] = nameProblem(newName, src.name(i), f.nameMax);
        hashes[i] = renamekeys::hash(newName, f.ignoresCase);
        changed[i] = newName != src.name(i);
    }

    // Every row sharing its new name with another is marked.
    targets_.reset(n);
    std::vector<bool> shared(n, false);
    auto target = [&](size_t i) { return renamekeys::inFolder(hashes[i], src.folderKey(i)); };
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            targets_.prefetch(target(i + kAhead));
        if (src.problem(i) != RenameProblem::None)
            continue;
        const uint32_t held = targets_.insert(target(i), uint32_t(i),
                                              [&](uint32_t other) { return sameTarget(other, i); });
        if (held != uint32_t(i) && held != renamekeys::IdTable::kNone)
            shared[i] = shared[held] = true;
    }
    for (size_t i = 0; i < n; ++i)
        if (shared[i] && problems_[i] == RenameProblem::None)
            problems_[i] = RenameProblem::Duplicate;

    // A name already there is free only when its file is renamed away.
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n && problems_[i + kAhead] == RenameProblem::None && changed[i + kAhead])
            src.folderIndex(i + kAhead).prefetch(hashes[i + kAhead]);
        if (problems_[i] != RenameProblem::None || !changed[i])
            continue;
        const RenameFileSystem::FolderIndex& f = src.folderIndex(i);
        const std::string_view newName = name(i);
        const bool there =
            f.listed ? f.find(newName, hashes[i]).has_value()
                     : fs.look(RenameFileSystem::join(src.folder(i), newName)).has_value();
        if (!there)
            continue;
        const size_t leaving = src.rowNamed(i, newName, hashes[i]);
        if (leaving == RenameSources::kNoRow || !changed[leaving])
            problems_[i] = RenameProblem::Exists;
    }
}

size_t RenameCheck::nameLimit(size_t row) const {
    return problems_[row] == RenameProblem::TooLong ? sources_->folderIndex(row).nameMax : 0;
}

int RenameCheck::firstProblem() const {
    for (size_t i = 0; i < problems_.size(); ++i)
        if (problems_[i] != RenameProblem::None)
            return int(i);
    return -1;
}

size_t RenameCheck::rowTaking(size_t row, std::string_view name) const {
    const RenameSources& src = *sources_;
    const uint32_t key = src.folderKey(row);
    const bool fold = src.ignoresCase(row);
    const uint32_t found =
        targets_.find(renamekeys::inFolder(renamekeys::hash(name, fold), key), [&](uint32_t other) {
            return src.folderKey(other) == key &&
                   renamekeys::same(this->name(other), src.ignoresCase(other), name, fold);
        });
    return found == renamekeys::IdTable::kNone ? RenameSources::kNoRow : size_t(found);
}

bool RenameCheck::sameTarget(size_t a, size_t b) const {
    const RenameSources& src = *sources_;
    return src.folderKey(a) == src.folderKey(b) &&
           renamekeys::same(name(a), src.ignoresCase(a), name(b), src.ignoresCase(b));
}

} // namespace kamelo
