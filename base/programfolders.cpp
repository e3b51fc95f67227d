#include "programfolders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kamelo {

namespace {

std::string withTrailingSlash(std::string s) {
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

void createFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directory(path, ec);
}

// Root may write where the permission bits say no, so try a real file.
bool canWriteIn(const std::string& folder) {
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (!fs::is_directory(folder, ec))
        return false;
    std::string probe = folder + "/.kamelo-write-test-" + std::to_string(::getpid());
    bool ok;
    {
        std::ofstream f(probe);
        ok = f.good();
    }
    fs::remove(probe, ec);
    return ok;
}

} // namespace

std::string ProgramFolders::defaultUserDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home && *home ? home : "/tmp") / ".local" / "share";
    }
    return (base / "kamelo").string();
}

std::string ProgramFolders::executableFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return withTrailingSlash(fs::current_path(ec).string());
    return withTrailingSlash(exe.parent_path().string());
}

ProgramFolders ProgramFolders::prepare(const std::string& programFolder,
                                       const std::string& userDataFolder) {
    ProgramFolders f;
    f.programFolder = withTrailingSlash(programFolder);
    f.skin = f.programFolder + "skin";
    f.data = f.programFolder + "data";
    createFolder(f.skin);
    if (!canWriteIn(f.data)) {
        std::error_code ec;
        fs::create_directories(userDataFolder, ec);
        f.data = userDataFolder;
        f.dataMoved = true;
    }
    f.cache = f.data + "/cache";
    f.temp = f.data + "/temp";
    createFolder(f.cache);
    createFolder(f.temp);
    return f;
}

} // namespace kamelo
