#pragma once

#include "browser/core/renameplan.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kamelo {

// What the file system answered, kept: the batch rename's live preview
// checks every keystroke's names against the folders as they were first
// read instead of listing them again. Each question goes to the real file
// system once; of the look-ups, only the first kKeptLooks are kept (a
// folder that cannot be listed is asked about every keystroke's names one
// by one, and those answers would pile up). It renames nothing (EROFS);
// the rename itself is planned against the file system as it is then.
class RenameSnapshot : public RenameFileSystem {
public:
    static constexpr size_t kKeptLooks = 1 << 16;

    explicit RenameSnapshot(const RenameFileSystem& live = RenameFileSystem::local())
        : live_(live) {}

    std::optional<Entry> look(const std::string& path) const override;
    std::optional<Entry> folder(const std::string& path) const override;
    bool list(const std::string& folder,
              std::vector<std::pair<std::string, Entry>>& out) const override;
    size_t nameMax(const std::string& folder) const override;
    int rename(const std::string& from, const std::string& to) override;
    std::shared_ptr<const FolderIndex> index(const std::string& folder) const override;

private:
    struct Listing {
        bool ok = false;
        std::vector<std::pair<std::string, Entry>> entries;
    };
    const RenameFileSystem& live_;
    mutable std::map<std::string, std::optional<Entry>> looks_;
    mutable std::map<std::string, std::optional<Entry>> folders_;
    mutable std::map<std::string, Listing> listings_;
    mutable std::map<std::string, size_t> nameMax_;
    mutable std::map<std::string, std::shared_ptr<const FolderIndex>> indexes_;
};

} // namespace kamelo
