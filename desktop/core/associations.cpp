#include "associations.h"

#include "associationtable.h"
#include "desktopentry.h"
#include "mimeappsfile.h"

#include "base/settingsstore.h"
#include "imaging/core/filebytes.h"
#include "imaging/result.h"
#include "resources/stringtable.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::desktop {

namespace {

// A list or entry larger than this is not one anybody wrote by hand.
constexpr size_t kMaxListBytes = 4 * 1024 * 1024;

// False when the file cannot be read or holds more than kMaxListBytes (out
// then holds what was read, one byte past the limit).
bool readSmallFile(const std::string& path, std::string& out) {
    std::vector<uint8_t> bytes;
    const bool read = imaging::succeeded(imaging::readFileHead(path, kMaxListBytes + 1, bytes));
    out.assign(bytes.begin(), bytes.end());
    return read && bytes.size() <= kMaxListBytes;
}

std::string firstEntry(const std::string& value) {
    const size_t semi = value.find(';');
    return value.substr(0, semi);
}

std::string sectionOf(int row) {
    return std::string("FileExts\\") + AssociationTable::rows()[size_t(row)].extension;
}

} // namespace

Associations::Associations(XdgDirs dirs, SettingsStore& store, std::string programPath)
    : dirs_(std::move(dirs)), store_(store), programPath_(std::move(programPath)) {
    const char* path = std::getenv("PATH");
    searchPath_ = path ? path : "";
}

std::string Associations::installedEntry() const {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical(programPath_, ec);
    if (ec)
        return {};
    for (const std::string& folder : dirs_.dataDirs) {
        const std::string path = folder + "/applications/" + AssociationTable::kDesktopId;
        struct stat st {};
        std::string bytes;
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !readSmallFile(path, bytes) ||
            !MimeAppsFile::isCleanText(bytes))
            continue;
        // Only the first one counts: it hides those after it.
        const std::string program =
            DesktopEntry::programOf(DesktopEntry::keyValue(bytes, "Exec"), searchPath_);
        return program == self.string() ? path : std::string();
    }
    return {};
}

std::string Associations::entryPath() const {
    return dirs_.dataHome + "/applications/" + AssociationTable::kDesktopId;
}

std::string Associations::backupName(int typeIndex, const std::string& mimeType) {
    return typeIndex == 0 ? kBackupName : std::string(kBackupName) + " " + mimeType;
}

std::optional<std::string> Associations::installedEntryPath(const std::string& desktopId) const {
    if (desktopId.empty() || desktopId.find('/') != std::string::npos)
        return std::nullopt;
    for (const std::string& folder : dirs_.applicationFolders()) {
        const std::string path = folder + "/" + desktopId;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> Associations::effectiveDefault(const std::string& mimeType) const {
    for (const std::string& list : dirs_.mimeappsLists()) {
        std::string bytes;
        if (!readSmallFile(list, bytes))
            continue;
        const std::optional<std::string> value =
            MimeAppsFile(bytes).value(MimeAppsFile::kDefaults, mimeType);
        if (!value)
            continue;
        size_t at = 0;
        while (at < value->size()) {
            size_t semi = value->find(';', at);
            if (semi == std::string::npos)
                semi = value->size();
            const std::string id = value->substr(at, semi - at);
            if (installedEntryPath(id))
                return id;
            at = semi + 1;
        }
    }
    return std::nullopt;
}

bool Associations::isOurs(int row) const {
    const auto& r = AssociationTable::rows()[size_t(row)];
    return effectiveDefault(r.mimeTypes.front()) == std::string(AssociationTable::kDesktopId);
}

bool Associations::allOurs() const {
    for (int row = 0; row < AssociationTable::kRows; ++row)
        if (!isOurs(row))
            return false;
    return true;
}

std::string Associations::currentHandler(int row) const {
    const auto& r = AssociationTable::rows()[size_t(row)];
    const std::optional<std::string> id = effectiveDefault(r.mimeTypes.front());
    if (!id)
        return {};
    const std::optional<std::string> path = installedEntryPath(*id);
    std::string bytes;
    if (!path || !readSmallFile(*path, bytes) || !MimeAppsFile::isCleanText(bytes))
        return {};
    const std::vector<std::string> args =
        DesktopEntry::splitExec(DesktopEntry::keyValue(bytes, "Exec"));
    return args.empty()
               ? std::string()
               : DesktopEntry::commandWithoutFieldCodes(DesktopEntry::keyValue(bytes, "Exec"));
}

bool Associations::loadList(const std::string& path, std::string& bytes,
                            AssociationResult& result) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            bytes.clear();
            return true;
        }
        result = {false,
                  res::format(res::IDS_ASSOC_READ_FAILED, path.c_str(), std::strerror(errno))};
        return false;
    }
    // A list this large was not written by hand or by a desktop: it is left
    // alone rather than read, edited and shortened.
    const auto tooLarge = [&] {
        result = {false,
                  res::format(res::IDS_ASSOC_TOO_LARGE, path.c_str(), int(kMaxListBytes >> 20))};
        return false;
    };
    if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxListBytes)
        return tooLarge();
    if (!S_ISREG(st.st_mode) || !readSmallFile(path, bytes)) {
        if (S_ISREG(st.st_mode) && bytes.size() > kMaxListBytes)
            return tooLarge(); // grew while it was read
        result = {false, res::format(res::IDS_ASSOC_READ_FAILED, path.c_str(),
                                     std::strerror(S_ISREG(st.st_mode) ? EIO : EINVAL))};
        return false;
    }
    if (!MimeAppsFile::isCleanText(bytes)) {
        result = {false, res::format(res::IDS_ASSOC_NOT_TEXT, path.c_str())};
        return false;
    }
    return true;
}

bool Associations::writeList(const std::string& path, const std::string& bytes,
                             AssociationResult& result) const {
    std::error_code ec;
    std::filesystem::create_directories(dirs_.configHome, ec);
    if (!imaging::succeeded(imaging::writeFileAtomically(
            path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))) {
        result = {false, res::format(res::IDS_ASSOC_WRITE_FAILED, path.c_str(),
                                     std::strerror(imaging::lastWriteError()))};
        return false;
    }
    return true;
}

bool Associations::installEntry(AssociationResult& result) const {
    const std::string path = entryPath();
    std::string present;
    if (!installedEntry().empty()) {
        // The package's entry serves; a per-user one naming this same
        // program (left by an earlier version) would only hide it.
        std::error_code ec;
        const std::string self = std::filesystem::canonical(programPath_, ec).string();
        if (!ec && readSmallFile(path, present) && MimeAppsFile::isCleanText(present) &&
            DesktopEntry::programOf(DesktopEntry::keyValue(present, "Exec"), searchPath_) == self)
            ::unlink(path.c_str());
        return true;
    }
    const std::string wanted = DesktopEntry::forProgram(programPath_);
    if (readSmallFile(path, present) && present == wanted)
        return true;
    std::error_code ec;
    std::filesystem::create_directories(dirs_.dataHome + "/applications", ec);
    if (!imaging::succeeded(imaging::writeFileAtomically(
            path, reinterpret_cast<const uint8_t*>(wanted.data()), wanted.size()))) {
        result = {false, res::format(res::IDS_ASSOC_WRITE_FAILED, path.c_str(),
                                     std::strerror(imaging::lastWriteError()))};
        return false;
    }
    return true;
}

std::vector<std::string> Associations::desktopLists() const {
    std::vector<std::string> out;
    for (const std::string& d : dirs_.desktops) {
        const std::string path = dirs_.configHome + "/" + d + "-mimeapps.list";
        struct stat st {};
        if (d.find('/') == std::string::npos && ::lstat(path.c_str(), &st) == 0)
            out.push_back(path);
    }
    return out;
}

bool Associations::editDesktopLists(int row, bool associate, AssociationResult& result) {
    const auto& types = AssociationTable::rows()[size_t(row)].mimeTypes;
    for (const std::string& path : desktopLists()) {
        std::string bytes;
        if (!loadList(path, bytes, result))
            return false;
        MimeAppsFile list(bytes);
        const std::string file = path.substr(path.rfind('/') + 1);
        for (size_t t = 0; t < types.size(); ++t) {
            const std::string name = backupName(int(t), types[t]) + " @" + file;
            const std::optional<std::string> old = list.value(MimeAppsFile::kDefaults, types[t]);
            if (associate) {
                // Only a default the desktop list really holds needs
                // overriding; otherwise mimeapps.list decides.
                if (!old || firstEntry(*old) == AssociationTable::kDesktopId)
                    continue;
                for (int r : AssociationTable::companions(row))
                    store_.setString(sectionOf(r), name, *old);
                list.set(MimeAppsFile::kDefaults, types[t],
                         std::string(AssociationTable::kDesktopId) + ";");
            } else {
                const std::optional<SettingEntry> backup =
                    store_.entry(SettingsStore::sectionKey(sectionOf(row)), name);
                if (backup && backup->type == SettingType::String)
                    list.set(MimeAppsFile::kDefaults, types[t], backup->stringValue);
                else if (old && firstEntry(*old) == AssociationTable::kDesktopId)
                    list.remove(MimeAppsFile::kDefaults, types[t]);
                for (int r : AssociationTable::companions(row))
                    store_.deleteValue(sectionOf(r), name);
            }
        }
        if (list.bytes() != bytes && !writeList(path, list.bytes(), result))
            return false;
    }
    return true;
}

AssociationResult Associations::associate(int row) {
    AssociationResult result;
    if (row < 0 || row >= AssociationTable::kRows || isOurs(row))
        return result;
    std::string bytes;
    if (!loadList(userListPath(), bytes, result) || !installEntry(result))
        return result;
    MimeAppsFile list(bytes);
    const auto& types = AssociationTable::rows()[size_t(row)].mimeTypes;
    const std::vector<int> rows = AssociationTable::companions(row);
    for (size_t t = 0; t < types.size(); ++t) {
        const std::optional<std::string> old = list.value(MimeAppsFile::kDefaults, types[t]);
        const std::string name = backupName(int(t), types[t]);
        for (int r : rows) {
            if (!old)
                store_.deleteValue(sectionOf(r), name);
            else if (firstEntry(*old) != AssociationTable::kDesktopId)
                store_.setString(sectionOf(r), name, *old);
        }
        list.set(MimeAppsFile::kDefaults, types[t],
                 std::string(AssociationTable::kDesktopId) + ";");
    }
    if (writeList(userListPath(), list.bytes(), result))
        editDesktopLists(row, true, result);
    return result;
}

AssociationResult Associations::remove(int row) {
    AssociationResult result;
    if (row < 0 || row >= AssociationTable::kRows || !isOurs(row))
        return result;
    std::string bytes;
    if (!loadList(userListPath(), bytes, result))
        return result;
    MimeAppsFile list(bytes);
    const auto& types = AssociationTable::rows()[size_t(row)].mimeTypes;
    const std::string section = sectionOf(row);
    for (size_t t = 0; t < types.size(); ++t) {
        const std::string name = backupName(int(t), types[t]);
        const std::optional<SettingEntry> backup =
            store_.entry(SettingsStore::sectionKey(section), name);
        if (backup && backup->type == SettingType::String)
            list.set(MimeAppsFile::kDefaults, types[t], backup->stringValue);
        else
            list.remove(MimeAppsFile::kDefaults, types[t]);
    }
    if (!writeList(userListPath(), list.bytes(), result) || !editDesktopLists(row, false, result))
        return result;
    for (int r : AssociationTable::companions(row))
        for (size_t t = 0; t < types.size(); ++t)
            store_.deleteValue(sectionOf(r), backupName(int(t), types[t]));
    // The entry was installed for the associations: with the last one gone
    // it goes too, so no tool offers the program as a fallback default.
    bool anyOurs = false;
    for (int r = 0; r < AssociationTable::kRows && !anyOurs; ++r)
        anyOurs = isOurs(r);
    if (!anyOurs && installedEntry().empty())
        ::unlink(entryPath().c_str());
    return result;
}

} // namespace kamelo::desktop
