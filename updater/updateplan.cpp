#include "updater/updateplan.h"

#include "updater/beneath.h"
#include "updater/crc32file.h"
#include "updater/paths.h"
#include "updater/profile.h"
#include "updater/updaterstrings.h"

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vela {

namespace {

bool isHex64(const std::string& s) {
    return s.size() == 64 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// A listed size as the profile reader reads it, or nothing when it lies
// outside 0..2^31-1: a negative or wrapped size would turn the size checks
// off.
std::optional<int32_t> listedSize(std::string_view value) {
    size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        negative = value[i++] == '-';
    int64_t n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > INT32_MAX)
            return std::nullopt;
    }
    if (negative && n != 0)
        return std::nullopt;
    return static_cast<int32_t>(n);
}

UpdateEntry readEntry(const ProfileFile& list, const std::string& section, bool& sizeDamaged) {
    UpdateEntry e;
    const char* s = section.c_str();
    e.pathName = list.text(s, "PATHNAME");
    const auto fileSize = listedSize(list.text(s, "FILESIZE"));
    e.fileSize = fileSize.value_or(0);
    e.crc = list.integer(s, "FILECRC", 0);
    e.version = list.text(s, "FILEVER");
    std::string type = list.text(s, "UPDATETYPE");
    e.updateType = type == "REPLACE"  ? kUpdateReplace
                   : type == "RENAME" ? kUpdateRename
                                      : kUpdateReboot;
    e.ifExist = list.text(s, "UPDATECONDITION") == "IFEXIST" ? 1 : 0;
    e.runBeforeReboot = list.text(s, "RUN_BEFORE_REBOOT");
    e.runAfterReboot = list.text(s, "RUN_AFTER_REBOOT");
    const auto compressedSize = listedSize(list.text(s, "COMPRESSEDFILESIZE"));
    e.compressedSize = compressedSize.value_or(0);
    e.compressType = list.text(s, "COMPRESSTYPE");
    sizeDamaged = !fileSize || (e.compressed() && !compressedSize);
    e.subFolder = list.text(s, "SUBFOLDER");
    e.sha256 = list.text(s, "FILESHA256");
    return e;
}

// Why an entry must not be written, or empty when it may. A folder that is
// (or passes through) a link already in the installation folder would carry
// the write to wherever the link points.
std::string refusal(const UpdateEntry& e, bool sizeDamaged, const std::string& installFolder) {
    if (!isContainedRelativePath(e.pathName))
        return formatText(Str::STR_PATH_REFUSED, {e.pathName});
    if (!isContainedRelativePath(e.subFolder))
        return formatText(Str::STR_PATH_REFUSED, {e.subFolder});
    if (sizeDamaged)
        return formatText(Str::STR_SIZE_MALFORMED, {e.pathName});
    if (!e.sha256.empty() && !isHex64(e.sha256))
        return formatText(Str::STR_HASH_MALFORMED, {e.pathName});
    const std::string relative = e.subFolder.empty() ? e.pathName : e.subFolder + "\\" + e.pathName;
    if (passesThroughLink(installFolder, folderPart(relative)))
        return formatText(Str::STR_PATH_THROUGH_LINK, {relative});
    return {};
}

// The folder `path` below the installation folder, one level, made in its
// parent reached without links; an existing folder or a failure is ignored.
void makeOneFolder(const std::string& installFolder, const std::string& path) {
    std::string name;
    const int parent = openParentBeneath(installFolder, path, false, name);
    if (parent < 0)
        return;
    ::mkdirat(parent, name.c_str(), 0755);
    ::close(parent);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool openableForWriting(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

std::string localFileListPath(const std::string& tempFolder, const std::string& location) {
    return joinPath(tempFolder, fileNamePart(location));
}

std::string destinationOf(const std::string& installFolder, const UpdateEntry& entry) {
    return joinPath(joinPath(installFolder, entry.subFolder), entry.pathName);
}

bool isUpdaterFile(const std::string& pathName) {
    return equalsNoCase(pathName, kServerListName) || equalsNoCase(pathName, "VelaUpdate");
}

bool buildPlan(const std::string& listPath, const std::string& installFolder, TransportMode mode,
               UpdatePlan& plan, PlanHost& host, PlanOptions options) {
    ProfileFile list;
    const bool loaded = list.load(listPath);
    const uint32_t count = list.integer("GENERAL", "FILE_COUNT", 0);
    plan.destPrefix = list.text("GENERAL", mode.http ? "DEST_PATH" : "FTP_DEST_PATH");
    plan.runAfterUpdate = list.text("GENERAL", "RUN_AFTER_UPDATE");
    plan.entries.clear();
    plan.entries.shrink_to_fit();
    plan.cancelled = false;
    if (!loaded || count == 0 || count > kMaxFileCount)
        return false;

    plan.entries.reserve(count);
    for (uint32_t i = 1; i <= count; ++i) {
        bool sizeDamaged = false;
        UpdateEntry e = readEntry(list, "FILE_" + std::to_string(i), sizeDamaged);
        if (std::string why = refusal(e, sizeDamaged, installFolder); !why.empty()) {
            host.entryRefused(e.pathName, why);
            continue;
        }
        e.sha256 = lowered(e.sha256);
        if (!e.subFolder.empty() && options.createSubFolders)
            makeOneFolder(installFolder, joinPath(installFolder, e.subFolder));
        if (e.compressed())
            e.serverName = e.pathName + ".gz";
        e.runBeforeReboot = replaceSystemMarker(e.runBeforeReboot);
        e.runAfterReboot = replaceSystemMarker(e.runAfterReboot);
        plan.entries.push_back(std::move(e));
    }

    // Last to first, as entries are removed on the way.
    auto& entries = plan.entries;
    for (size_t i = entries.size(); i-- > 0;) {
        const UpdateEntry& e = entries[i];
        const std::string dest = destinationOf(installFolder, e);
        const int64_t size = fileSize(dest);
        bool current = false;
        if (size == e.fileSize) {
            auto crc = fileCrc32(dest);
            current = crc && *crc == e.crc;
        }
        if (current || (e.ifExist == 1 && size == -1)) {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (!plan.selfUpdate && isUpdaterFile(e.pathName))
            plan.selfUpdate = true;
    }

    if (plan.selfUpdate) {
        std::erase_if(entries, [](const UpdateEntry& e) { return !isUpdaterFile(e.pathName); });
        host.setStepLabels(std::string(text(Str::STR_SELF_UPDATE_STEP1)),
                           std::string(text(Str::STR_SELF_UPDATE_STEP2)),
                           std::string(text(Str::STR_SELF_UPDATE_STEP3)));
    }

    if (options.writeCheck) {
        for (const auto& e : entries) {
            if (e.updateType != kUpdateReplace)
                continue;
            const std::string dest = destinationOf(installFolder, e);
            if (!exists(dest))
                continue;
            while (!openableForWriting(dest)) {
                if (!host.askWriteRetry(
                        formatText(Str::STR_NO_WRITE_PERMISSION, {fileNamePart(e.pathName)}))) {
                    plan.cancelled = true;
                    host.endRun();
                    return true;
                }
            }
        }
    }

    if (!entries.empty()) {
        plan.nextDownload = 0;
        return true;
    }
    host.showNoUpdateNotice(std::string(text(Str::STR_ALL_UP_TO_DATE)));
    host.finish();
    return true;
}

} // namespace vela
