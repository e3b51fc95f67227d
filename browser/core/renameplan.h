#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kamelo {

// What the rename plan asks of the file system; the local one, or another
// in tests (a card that ignores case, a disk that fails part-way).
class RenameFileSystem {
public:
    struct Entry {
        uint64_t device = 0;
        uint64_t inode = 0;
        bool isFile = false; // a regular file or a link (never followed)
        bool operator==(const Entry&) const = default;
    };
    virtual ~RenameFileSystem() = default;
    // What the path names itself (links not followed); nothing when absent.
    virtual std::optional<Entry> look(const std::string& path) const = 0;
    // The folder itself ("" is the working folder); nothing when absent.
    virtual std::optional<Entry> folder(const std::string& path) const = 0;
    // Every name in the folder with what it names (links not followed);
    // false when the folder cannot be read.
    virtual bool list(const std::string& folder,
                      std::vector<std::pair<std::string, Entry>>& out) const = 0;
    // The longest name the folder takes, in bytes.
    virtual size_t nameMax(const std::string& folder) const = 0;
    // Renames without replacing anything; 0 or the errno.
    virtual int rename(const std::string& from, const std::string& to) = 0;

    // A folder as the plan checks names against it.
    struct FolderIndex {
        bool exists = false;
        bool listed = false;
        std::string key; // device and inode: one folder however it is spelt
        size_t nameMax = 255;
        bool ignoresCase = false;
        std::unordered_map<std::string, Entry> names; // folded when it ignores case
    };
    // Read from the questions above; a file system that keeps its answers
    // may keep the index too.
    virtual std::shared_ptr<const FolderIndex> index(const std::string& folder) const;

    static RenameFileSystem& local();
};

// A set of renames checked as a whole before anything happens. Each row is
// a file and the new name it should take in its own folder. A row that
// cannot be renamed safely is marked with the reason; a plan with a marked
// row renames nothing. Otherwise the renames are ordered so that every
// target is vacated before it is taken (a swap or a longer cycle, and a
// change of case on a file system that ignores case, goes through one
// temporary name in the same folder), nothing is ever replaced, and a
// failure part-way undoes what was done, newest first.
class RenamePlan {
public:
    enum class Problem {
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
    struct Row {
        std::string from; // the file's path now
        std::string name; // the new name
        std::string to;   // the new path
        Problem problem = Problem::None;
        size_t nameLimit = 0;         // the folder's limit, for TooLong
        RenameFileSystem::Entry file; // what from named when checked
    };
    struct Step {
        size_t row;
        std::string from;
        std::string to;
    };
    struct Outcome {
        bool ok = true;
        size_t row = 0; // the row whose rename failed
        int error = 0;  // and why
        // Undo steps that failed too: where a file is now, and its old path.
        std::vector<std::pair<std::string, std::string>> stranded;
    };

    // Checks every row against the others and the file system as it is now.
    explicit RenamePlan(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                        RenameFileSystem& fs = RenameFileSystem::local());

    const std::vector<Row>& rows() const { return rows_; }
    // The first marked row, or -1.
    int firstProblem() const;
    // Empty while a row is marked; rows keeping their name have no step.
    const std::vector<Step>& steps() const { return steps_; }
    // Runs the steps (nothing when a row is marked: the outcome names it
    // with EINVAL). afterStep, when given, is told how many steps are done
    // after each one.
    Outcome apply(const std::function<void(size_t done)>& afterStep = {}) const;

    // The folder part of a path ("" for a bare name) and the name part.
    static std::string folderOf(const std::string& path);
    static std::string nameOf(const std::string& path);

private:
    void check();
    void order();
    std::string temporaryFor(size_t row);

    struct FolderInfo {
        size_t nameMax = 255;
        bool ignoresCase = false;
    };
    RenameFileSystem* fs_;
    std::vector<Row> rows_;
    std::vector<FolderInfo> folderInfo_; // per row
    std::vector<std::string> keys_;      // per row: folded target key
    std::vector<std::string> sourceKeys_;
    std::vector<Step> steps_;
    size_t temporaries_ = 0;
};

} // namespace kamelo
