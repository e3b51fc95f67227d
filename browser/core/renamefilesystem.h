#pragma once

#include "browser/core/renamekeys.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    class FolderIndex {
    public:
        bool exists = false;
        bool listed = false;
        std::string key; // device and inode: one folder however it is spelt
        size_t nameMax = 255;
        bool ignoresCase = false;

        // Takes the listing; a name found again (in another case when the
        // folder ignores case) keeps what it named first.
        void setNames(const std::vector<std::pair<std::string, Entry>>& entries);
        // What the name names, in any case when the folder ignores case.
        std::optional<Entry> find(std::string_view name) const {
            return find(name, renamekeys::hash(name, ignoresCase));
        }
        // The same with the name's hash (renamekeys::hash) already made.
        std::optional<Entry> find(std::string_view name, uint64_t nameHash) const;
        size_t size() const { return entries_.size(); }
        void prefetch(uint64_t nameHash) const { table_.prefetch(nameHash); }

    private:
        std::string_view nameAt(size_t i) const {
            const size_t begin = i == 0 ? 0 : ends_[i - 1];
            return std::string_view(text_).substr(begin, ends_[i] - begin);
        }
        // One buffer of names and a table of numbers: a folder of a hundred
        // thousand pictures costs a few megabytes, not a node per name.
        std::string text_;
        std::vector<size_t> ends_;
        std::vector<Entry> entries_;
        renamekeys::IdTable table_;
    };
    // Read from the questions above; a file system that keeps its answers
    // may keep the index too.
    virtual std::shared_ptr<const FolderIndex> index(const std::string& folder) const;

    static RenameFileSystem& local();
    // The path of name in folder ("" for the working folder).
    static std::string join(std::string_view folder, std::string_view name);
};

} // namespace kamelo
