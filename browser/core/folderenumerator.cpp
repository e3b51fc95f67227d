#include "folderenumerator.h"

#include "base/pictureextensions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

std::string lowerExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

int32_t modifiedSeconds(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(st.st_mtime, 0, INT32_MAX));
}

std::string pathString(const fs::path& p) {
    return std::string(reinterpret_cast<const char*>(p.u8string().c_str()));
}

} // namespace

std::string FolderEnumerator::typeName(const std::string& extension) {
    std::string ext = extension;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ext == "JPG")
        return "JPEG";
    if (ext == "TIF")
        return "TIFF";
    return ext;
}

std::string FolderEnumerator::parentOf(const std::string& folder) {
    fs::path p = fs::path(folder).lexically_normal();
    if (p.has_filename() == false && p != p.root_path())
        p = p.parent_path(); // "a/b/" -> "a/b"
    if (p == p.root_path())
        return {};
    return pathString(p.parent_path());
}

bool FolderEnumerator::enumerate(const std::string& folder, const EnumerateOptions& options,
                                 EnumerateResult& result) {
    result = {};
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec)
        return false;

    const CellRect iconRect = {(options.cellWidth - 32) / 2, (options.cellHeight - 32) / 2,
                               (options.cellWidth - 32) / 2 + 32,
                               (options.cellHeight - 32) / 2 + 32};
    if (options.withParent && !parentOf(folder).empty()) {
        CThumbData parent;
        parent.displayName = CThumbData::kParentName;
        parent.fullPath = CThumbData::kParentName;
        parent.itemKind = 1;
        parent.pictureRect = iconRect;
        result.records.push_back(parent);
        ++result.folders;
    }

    std::vector<CThumbData> files;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        const fs::directory_entry& e = *it;
        const std::string name = pathString(e.path().filename());
        if (name.empty() || name[0] == '.')
            continue;
        std::error_code statError;
        const fs::file_status status = e.status(statError); // links followed
        if (statError)
            continue;
        CThumbData d;
        d.displayName = name;
        d.fullPath = pathString(e.path());
        if (fs::is_directory(status)) {
            d.itemKind = 1;
            d.pictureRect = iconRect;
            result.records.push_back(std::move(d));
            ++result.folders;
            continue;
        }
        if (!fs::is_regular_file(status))
            continue;
        const std::string ext = lowerExtension(name);
        const bool picture = PictureExtensions::isPicture(ext);
        if (!picture && options.onlyPictures)
            continue;
        d.typeName = typeName(ext);
        d.pictureRect = iconRect;
        if (options.details) {
            d.fileSize = static_cast<uint32_t>(e.file_size(statError));
            d.modifiedTime = modifiedSeconds(d.fullPath);
        }
        files.push_back(std::move(d));
        ++(picture ? result.pictures : result.others);
    }
    if (ec)
        return false;
    for (CThumbData& d : files)
        result.records.push_back(std::move(d));
    return true;
}

} // namespace kamelo
