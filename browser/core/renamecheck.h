#pragma once

#include "browser/core/renamefilesystem.h"
#include "browser/core/renamekeys.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kamelo {

// Why a row of a batch rename cannot be done.
enum class RenameProblem : uint8_t {
    None,
    Missing,      // the file is gone, or is not a file
    SameFile,     // the same file is listed twice
    BadCharacter, // "/" or a control character
    EmptyTitle,   // nothing before the extension
    LeadingDot,   // would be hidden
    TooLong,      // over the folder's name limit in bytes
    Duplicate,    // another row takes the same name
    Exists,       // a file that is not renamed away has the name
};

// The files of a batch rename as first found: each row's path, folder and
// file, and whether it is missing or listed twice. It does not change with
// the new names, so the live preview finds it once and checks each
// keystroke's names against it. Its tables number rows in 32 bits: far
// more than a selection of files can hold.
class RenameSources {
public:
    static constexpr size_t kNoRow = size_t(-1);

    // Each folder is read once: one listing costs far less than a look-up
    // per name. The file system is asked while this is made only.
    RenameSources(size_t count, const std::function<std::string_view(size_t)>& pathAt,
                  const RenameFileSystem& fs);

    size_t size() const { return rows_.size(); }
    std::string_view path(size_t row) const {
        const size_t begin = row == 0 ? 0 : rows_[row - 1].end;
        return std::string_view(text_).substr(begin, rows_[row].end - begin);
    }
    // The name part, and the folder part as spelt ("" for a bare name).
    std::string_view name(size_t row) const {
        return std::string_view(text_).substr(rows_[row].nameAt,
                                              rows_[row].end - rows_[row].nameAt);
    }
    std::string_view folder(size_t row) const;
    // Missing, SameFile or None.
    RenameProblem problem(size_t row) const { return rows_[row].problem; }
    // What the path named when found (only for a row without a problem).
    const RenameFileSystem::Entry& file(size_t row) const { return files_[row]; }
    const RenameFileSystem::FolderIndex& folderIndex(size_t row) const {
        return *folders_[rows_[row].folder].index;
    }
    // One number per folder however it is spelt.
    uint32_t folderKey(size_t row) const { return folders_[rows_[row].folder].key; }
    bool ignoresCase(size_t row) const { return folderIndex(row).ignoresCase; }
    // The row without a problem whose file has this name now in row's
    // folder (nameHash from renamekeys::hash as that folder folds), or kNoRow.
    size_t rowNamed(size_t row, std::string_view name, uint64_t nameHash) const;

private:
    struct Row {
        size_t end = 0;    // of the path in text_
        size_t nameAt = 0; // where its name starts in text_
        uint32_t folder = 0;
        RenameProblem problem = RenameProblem::None;
    };
    struct Folder {
        std::shared_ptr<const RenameFileSystem::FolderIndex> index;
        uint32_t key = 0;
    };
    std::string text_; // every path, one after another
    std::vector<Row> rows_;
    std::vector<RenameFileSystem::Entry> files_;
    std::vector<Folder> folders_; // by spelling
    renamekeys::IdTable byName_;  // rows without a problem, by folder and name
};

// New names, one per row, in one buffer.
class RenameNames {
public:
    void reserve(size_t rows, size_t bytes) {
        ends_.reserve(rows);
        text_.reserve(bytes);
    }
    void add(std::string_view name) {
        text_ += name;
        ends_.push_back(text_.size());
    }
    // write appends the next name to the buffer it is given.
    template <class Write> void addWritten(Write&& write) {
        write(text_);
        ends_.push_back(text_.size());
    }
    size_t size() const { return ends_.size(); }
    size_t bytes() const { return text_.size(); }
    std::string_view operator[](size_t row) const {
        const size_t begin = row == 0 ? 0 : ends_[row - 1];
        return std::string_view(text_).substr(begin, ends_[row] - begin);
    }

private:
    std::string text_;
    std::vector<size_t> ends_;
};

// A set of new names checked as a whole: each row against its own file,
// every other row, and the folders as the sources found them. A row is
// marked with the first problem found (its file, then its name, then
// another row taking the name, then a file there that stays).
class RenameCheck {
public:
    // One name per source row (missing names read as empty). The file
    // system is asked, while this is made only, about names in folders
    // that could not be listed.
    RenameCheck(std::shared_ptr<const RenameSources> sources, RenameNames names,
                const RenameFileSystem& fs);

    const RenameSources& sources() const { return *sources_; }
    const RenameNames& names() const { return names_; }
    size_t size() const { return problems_.size(); }
    std::string_view name(size_t row) const {
        return row < names_.size() ? names_[row] : std::string_view();
    }
    RenameProblem problem(size_t row) const { return problems_[row]; }
    // The folder's limit in bytes for a row marked TooLong, else 0.
    size_t nameLimit(size_t row) const;
    // The first marked row, or -1.
    int firstProblem() const;
    // The row takes a name other than its own.
    bool changes(size_t row) const { return name(row) != sources_->name(row); }
    // The row without a file problem whose new name is this one (folded as
    // row's folder does) in row's folder, or kNoRow.
    size_t rowTaking(size_t row, std::string_view name) const;

private:
    bool sameTarget(size_t a, size_t b) const;

    std::shared_ptr<const RenameSources> sources_;
    RenameNames names_;
    std::vector<RenameProblem> problems_;
    renamekeys::IdTable targets_; // rows without a file problem, by new name
};

} // namespace kamelo
