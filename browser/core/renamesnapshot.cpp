#include "renamesnapshot.h"

#include <cerrno>

namespace kamelo {

std::optional<RenameFileSystem::Entry> RenameSnapshot::look(const std::string& path) const {
    if (looks_.size() >= kKeptLooks) {
        const auto it = looks_.find(path);
        return it != looks_.end() ? it->second : live_.look(path);
    }
    auto [it, added] = looks_.try_emplace(path);
    if (added)
        it->second = live_.look(path);
    return it->second;
}

std::optional<RenameFileSystem::Entry> RenameSnapshot::folder(const std::string& path) const {
    auto [it, added] = folders_.try_emplace(path);
    if (added)
        it->second = live_.folder(path);
    return it->second;
}

bool RenameSnapshot::list(const std::string& folder,
                          std::vector<std::pair<std::string, Entry>>& out) const {
    auto [it, added] = listings_.try_emplace(folder);
    if (added)
        it->second.ok = live_.list(folder, it->second.entries);
    out.insert(out.end(), it->second.entries.begin(), it->second.entries.end());
    return it->second.ok;
}

size_t RenameSnapshot::nameMax(const std::string& folder) const {
    auto [it, added] = nameMax_.try_emplace(folder, 0);
    if (added)
        it->second = live_.nameMax(folder);
    return it->second;
}

std::shared_ptr<const RenameFileSystem::FolderIndex>
RenameSnapshot::index(const std::string& folder) const {
    auto [it, added] = indexes_.try_emplace(folder);
    // Straight from the live file system: the index holds the listing, so
    // the snapshot keeps no second copy of it.
    if (added)
        it->second = live_.index(folder);
    return it->second;
}

int RenameSnapshot::rename(const std::string&, const std::string&) {
    return EROFS;
}

} // namespace kamelo
