#include "thumbscommand.h"

#include "base/programfolders.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/changeiconthread.h"
#include "browser/core/cacheindex.h"
#include "browser/core/thumbarchive.h"
#include "browser/thumbfolder.h"
#include "browser/thumbsort.h"
#include "cli/commandhelp.h"

#include <QElapsedTimer>
#include <QEventLoop>

#include <charconv>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <system_error>

namespace kamelo {

namespace {

// The program's cache folder, or the one given with --cache, created when
// missing. A given folder is made one level deep only: a mistyped parent
// is an error, not a new tree. Empty (with the reason told) when it is not
// a usable folder.
std::string cacheFolder(const std::string& given, std::ostream& err) {
    std::string folder = given;
    std::error_code ec;
    if (folder.empty()) {
        folder = ProgramFolders::prepare(ProgramFolders::executableFolder()).cache;
        std::filesystem::create_directories(folder, ec);
    } else {
        std::string named = folder;
        while (named.size() > 1 && named.back() == '/')
            named.pop_back(); // "a/b/" names b
        const std::filesystem::path parent = std::filesystem::path(named).parent_path();
        if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
            err << "캐쉬 폴더의 상위 폴더가 없습니다: " << parent.native() << "\n";
            return {};
        }
        std::filesystem::create_directory(folder, ec);
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        err << "캐쉬 폴더를 만들 수 없습니다: " << folder << "\n";
        return {};
    }
    return folder;
}

// Takes "--cache PATH" out of the arguments.
std::string takeCacheOption(std::vector<std::string>& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--cache") {
            std::string path = args[i + 1];
            args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
            return path;
        }
    return {};
}

// Threads that decode, 1 to kMaxJobs, written as a plain number.
bool parseJobs(const std::string& text, int& jobs) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || at != end || n < 1 || n > CChangeIconThread::kMaxJobs)
        return false;
    jobs = n;
    return true;
}

// The folder argument as an absolute, cleaned path. The bytes of the name are
// kept as they are: a name that is not UTF-8 still names its folder.
std::string folderArgument(const std::string& arg) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(arg, ec);
    if (ec)
        p = arg;
    std::string s = p.lexically_normal().native();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

} // namespace

std::string escapeCacheText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

int runThumbsCommand(SettingsStore& store, const std::vector<std::string>& given, std::ostream& out,
                     std::ostream& err) {
    std::vector<std::string> args = given;
    const std::string cache = cacheFolder(takeCacheOption(args), err);
    if (cache.empty())
        return 2;
    std::string dir;
    int jobs = CChangeIconThread::defaultJobs();
    bool useStamp = store.getInt(keys::kGeneralLower, keys::kUseStamp, keys::kUseStampDefault) != 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-stamp") {
            useStamp = false;
        } else if (a == "--jobs") {
            if (i + 1 >= args.size() || !parseJobs(args[i + 1], jobs))
                return err << clihelp::usage("thumbs"), 2;
            ++i;
        } else if (dir.empty()) {
            dir = a;
        } else {
            return err << clihelp::usage("thumbs"), 2;
        }
    }
    if (dir.empty())
        return err << clihelp::usage("thumbs"), 2;

    CUiSettings s;
    s.load(store);
    ThumbFolder::Options o = ThumbFolder::Options::fromSettings(s);
    o.spillFolder = cache;
    ThumbFolder folder(o);
    QElapsedTimer timer;
    timer.start();
    const std::string path = folderArgument(dir);
    if (!folder.enumerate(path)) {
        err << "폴더를 읽을 수 없습니다: " << path << "\n";
        return 1;
    }
    ThumbSort::sort(folder.records(), s.sortBy, s.sortAscend != 0);

    std::vector<CChangeIconThread::Item> items;
    for (size_t i = 0; i < folder.records().size(); ++i)
        items.push_back({folder.records()[i].fullPath, folder.isPicture(int(i)), false});
    int failed = 0;
    int arrived = 0;
    if (folder.pictureCount() > 0) {
        CChangeIconThread loader(std::move(items), folder.recipe(useStamp), 1, nullptr, jobs);
        QEventLoop loop;
        QObject::connect(&loader, &CChangeIconThread::thumbnailReady, &loop,
                         [&](quint64, int index, const ThumbResult& r) {
                             failed += r.decoded ? 0 : 1;
                             folder.applyThumbnail(index, r);
                             // Nothing is on screen: every parked cell goes.
                             if (++arrived % 64 == 0)
                                 folder.releaseCellsOutside(0, -1);
                         });
        QObject::connect(&loader, &QThread::finished, &loop, &QEventLoop::quit);
        loader.start();
        loop.exec();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;

    out << "pictures: " << folder.pictureCount() << "\n";
    if (failed)
        out << "unreadable: " << failed << "\n";
    // A folder without pictures gets no cache entry, as in the browser.
    if (folder.pictureCount() > 0) {
        CacheIndex index(store, cache);
        if (!folder.saveCache(index)) {
            err << "캐쉬 파일을 쓸 수 없습니다.\n";
            return 1;
        }
        out << "cache: " << escapeCacheText(index.lookup(ThumbFolder::cacheKey(path))) << "\n";
    }
    out << "time: " << std::fixed << std::setprecision(3) << seconds << " s\n";
    return 0;
}

int runCacheCommand(SettingsStore& store, const std::vector<std::string>& given, std::ostream& out,
                    std::ostream& err) {
    std::vector<std::string> args = given;
    const std::string cache = cacheFolder(takeCacheOption(args), err);
    if (cache.empty())
        return 2;
    if (args.size() != 2 || args[0] != "show")
        return err << clihelp::usage("cache"), 2;
    const std::string key = ThumbFolder::cacheKey(folderArgument(args[1]));
    CacheIndex index(store, cache);
    const std::string base = index.lookup(key);
    if (base == CacheIndex::kNotFound) {
        err << "캐쉬된 폴더가 아닙니다: " << key << "\n";
        return 1;
    }
    std::vector<CThumbData> records;
    if (!ThumbArchive::readFile(CacheIndex::lisPath(base), records)) {
        err << "캐쉬 파일을 읽을 수 없습니다: " << CacheIndex::lisPath(base) << "\n";
        return 1;
    }
    out << "cache: " << escapeCacheText(base) << "\n";
    for (const CThumbData& d : records)
        out << escapeCacheText(d.displayName) << "\t" << escapeCacheText(d.fullPath) << "\t"
            << (d.isFolder() ? "folder" : "file") << "\timage " << d.imageIndex << "\tdone "
            << d.thumbnailDone << "\trect " << d.pictureRect.left << "," << d.pictureRect.top << ","
            << d.pictureRect.right << "," << d.pictureRect.bottom << "\ttaken "
            << (d.dateTakenKnown ? std::to_string(d.dateTaken) : std::string("-")) << "\n";
    return 0;
}

} // namespace kamelo
