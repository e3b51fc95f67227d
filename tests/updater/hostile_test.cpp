// The run against a hostile server (tests/updater/servers/hostileserver.py)
// and links planted in the installation folder: nothing outside the folder
// changes, no download grows past its listed size, and every run ends (the
// watchdog turns a hang into a failure) with the expected message.
#include "publish.h"
#include "serverprocess.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"
#include "updater/updaterstrings.h"
#include "updater/updaterun.h"
#include "updater/webfiledownload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace vela;
using namespace vela::test;
using kamelo::test::readFile;
using kamelo::test::writeFile;
namespace fs = std::filesystem;

namespace {

QString q(Str id) {
    return QString::fromUtf8(text(id).data(), static_cast<qsizetype>(text(id).size()));
}

QString tooLarge(Str phase, const std::string& name) {
    return q(phase) + "\n" +
           QString::fromStdString(formatText(Str::STR_DOWNLOAD_TOO_LARGE, {name}));
}

// Every file below `root` with its bytes, links as "-> target", never
// followed.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != decltype(it)();
         it.increment(ec)) {
        const std::string path = it->path().string();
        if (it->is_symlink())
            files[path] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file())
            files[path] = readFile(path);
        else
            files[path] = "<dir>";
    }
    return files;
}

int64_t sizeIfFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}

struct Hostile;

struct HostileCase {
    const char* name = "";
    // Made when the row runs: a bomb's bytes are large.
    std::function<std::vector<Published>()> files = {};
    // Rewrites the list, plants links.
    std::function<void(Hostile&)> prepare = {};
    // The one failure message; empty for a run that ends well.
    std::function<QString()> failure = {};
    // The file in "__TEMP__" that must stay within `bound` bytes.
    std::string watched = {};
    int64_t bound = 0;
    std::vector<std::string> installed = {};
    std::vector<std::string> neverRequested = {};
    // Deadline figures: base ms, bytes per second.
    std::string deadline = "30000,1073741824";
};

// The window of the run: records messages and how large the watched file
// ever was when the run showed something.
struct View : RunView {
    std::function<void()> sample;
    std::vector<QString> failures, notices;
    bool closed = false, closedOk = false;
    void setStatus(const QString&) override { sample(); }
    void setCurrentStep(int) override {}
    void setStepLabels(const QString&, const QString&, const QString&) override {}
    void setDownloadName(const QString&) override { sample(); }
    void setProgress(int) override { sample(); }
    void addResultRow(const QString&, const QString&, const QString&) override {}
    void notify(const QString& m, bool) override { notices.push_back(m); }
    void showMessage(const QString& m) override { failures.push_back(m); }
    void showFailure(const QString& m) override { failures.push_back(m); }
    bool askOkCancel(const QString& m) override {
        failures.push_back(m);
        return false;
    }
    bool askYesNo(const QString&) override { return false; }
    void closeView(bool ok) override {
        closed = true;
        closedOk = ok;
    }
};

struct NoSystem : SystemActions {
    bool startDetached(const std::vector<std::string>&) override { return true; }
    bool runAtNextLogon(const std::string&) override { return true; }
    bool requestReboot() override { return false; }
};

struct Hostile {
    kamelo::test::ScratchDir scratch, www;
    ServerProcess server;
    std::string inst, outside;

    std::string base() const { return "http://127.0.0.1:" + std::to_string(server.port()); }
    // Replaces the first `from` of the published list with `to`.
    void rewrite(const std::string& from, const std::string& to) {
        std::string list = readFile(www.path() + "/list.ini");
        const auto at = list.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        list.replace(at, from.size(), to);
        writeFile(www.path() + "/list.ini", list);
    }
    void plantLink(const std::string& name) {
        fs::create_directories(outside + name);
        writeFile(outside + name + "/keep.dat", "mine");
        fs::create_symlink(outside + name, inst + name);
    }
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<Published> plain(std::vector<Published> files) {
    return files;
}

const std::string& a() {
    static const std::string bytes = patterned(200000, 1);
    return bytes;
}

std::function<std::vector<Published>()> bomb(int64_t listed) {
    return [listed] {
        const std::string zeros(20 * 1024 * 1024, '\0');
        return std::vector<Published>{
            {"bomb.dll", zeros, true, "RENAME", "", listed - int64_t(zeros.size())}};
    };
}

std::vector<HostileCase> rows() {
    return {
        {.name = "EndlessBody",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.rewrite("/files/", "/endless/"); },
         .failure = [] { return tooLarge(Str::STR_TRANSFER_ERROR, "a.dll"); },
         .watched = "a.dll",
         .bound = 200000},
        {.name = "EndlessList",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare =
             [](Hostile& h) {
                 writeFile(h.inst + "VUSERVERLIST.INI",
                           "[SERVER_1]\nHTTPFILE=" + h.base() + "/endless/list.ini\n");
             },
         .failure = [] { return tooLarge(Str::STR_LIST_FETCH_FAILED, "list.ini"); },
         .watched = "list.ini",
         .bound = 16 * 1024 * 1024},
        {.name = "DripPastItsDeadline",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.rewrite("/files/", "/drip/"); },
         .failure = [] { return q(Str::STR_TRANSFER_ERROR); },
         .watched = "a.dll",
         .bound = 200000,
         // The list (bounded at 16 MB) gets 11 s, the file about 1.1 s.
         .deadline = "1000,1677721"},
        {.name = "TempFolderIsALink",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.plantLink("__TEMP__"); },
         .watched = "a.dll",
         .bound = 200000,
         .installed = {"a.dll"}},
        {.name = "SubFolderIsALink",
         .files =
             [] {
                 return plain({{"plug\\evil.dat", "evil"},
                               {"evil2.dat", "evil", false, "RENAME", "plug"},
                               {"b.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.plantLink("plug"); },
         .watched = "b.dll",
         .bound = 200000,
         .installed = {"b.dll"},
         .neverRequested = {"/files/plug/evil.dat", "/files/evil2.dat"}},
        {.name = "GzipBombListedAsMinusOne",
         .files = bomb(-1),
         .watched = "bomb.dll.gz",
         .neverRequested = {"/files/bomb.dll.gz"}},
        {.name = "GzipBombListedPast2GiB",
         .files = bomb(2147483648LL),
         .watched = "bomb.dll.gz",
         .neverRequested = {"/files/bomb.dll.gz"}},
        {.name = "GzipBombStopsAtItsListedSize",
         .files = bomb(1000),
         .failure =
             [] {
                 return QString::fromStdString(formatText(
                     Str::STR_UNZIP_ERROR, {"bomb.dll.gz", "output larger than listed : "}));
             },
         .watched = "bomb.dll",
         .bound = 1000 + 16384},
        {.name = "PathsWithBlanks",
         .files =
             [] {
                 return plain({{"my file.dll", a()}, {"b c.dll", a(), true, "RENAME", "sub dir"}});
             },
         .watched = "my file.dll",
         .bound = 200000,
         .installed = {"my file.dll", "sub dir/b c.dll"}},
        {.name = "RedirectToAnotherHost",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.rewrite("/files/", "/redirect/localhost/files/"); },
         .failure = [] { return q(Str::STR_TRANSFER_ERROR); },
         .watched = "a.dll",
         .neverRequested = {"/files/a.dll"}},
        {.name = "RedirectOnTheSameHost",
         .files =
             [] {
                 return plain({{"a.dll", a()}});
             },
         .prepare = [](Hostile& h) { h.rewrite("/files/", "/redirect/127.0.0.1/files/"); },
         .watched = "a.dll",
         .bound = 200000,
         .installed = {"a.dll"}},
    };
}

class HostileServer : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override { ensureCoreApplication(); }
    void TearDown() override { ::unsetenv("VELA_UPDATE_DEADLINE"); }
    kamelo::test::Watchdog watchdog{120};
};

} // namespace

TEST_P(HostileServer, ChangesNothingOutsideAndEndsWithItsMessage) {
    const HostileCase& c = GetParam();
    Hostile h;
    std::string why;
    ASSERT_TRUE(
        h.server.start({systemPython(), serverScript("hostileserver.py"), h.www.path()}, why))
        << why;
    h.inst = h.scratch.path() + "/inst/";
    h.outside = h.scratch.path() + "/outside/";
    fs::create_directories(h.inst);
    writeFile(h.outside + "sentinel.dat", "untouched");
    writeServerList(h.inst, h.server.port());
    const std::vector<Published> files = c.files();
    publish(h.www.path(), h.server.port(), files);
    if (c.prepare)
        c.prepare(h);
    ::setenv("VELA_UPDATE_DEADLINE", c.deadline.c_str(), 1);
    const auto before = snapshot(h.outside);

    View view;
    int64_t largest = 0;
    const std::string watched = h.inst + "__TEMP__/" + c.watched;
    view.sample = [&] { largest = std::max(largest, sizeIfFile(watched)); };
    NoSystem system;
    RunOptions options;
    options.installFolder = h.inst;
    options.automatic = true;
    {
        UpdateRun run(options, view, system);
        run.open();
        run.start();
        spinUntil([&] { return view.closed; });
        run.cleanupOnClose();
    }

    EXPECT_EQ(snapshot(h.outside), before);
    EXPECT_LE(largest, c.bound + int64_t(kWebFileBlockBytes));
    EXPECT_FALSE(fs::exists(fs::symlink_status(h.inst + "__TEMP__")));
    if (c.failure) {
        ASSERT_EQ(view.failures.size(), 1u);
        EXPECT_TRUE(view.failures[0].startsWith(c.failure())) << view.failures[0].toStdString();
        EXPECT_FALSE(view.closedOk);
    } else {
        for (const auto& f : view.failures)
            ADD_FAILURE() << f.toStdString();
        EXPECT_TRUE(view.closedOk);
    }
    for (const auto& name : c.installed) {
        const auto published = std::find_if(files.begin(), files.end(), [&](const auto& f) {
            return (f.subFolder.empty() ? "" : f.subFolder + "/") + f.pathName == name;
        });
        ASSERT_NE(published, files.end()) << name;
        EXPECT_TRUE(readFile(h.inst + name) == published->bytes) << name;
    }
    const std::string requests = "\n" + readFile(h.www.path() + "/requests.log");
    for (const auto& path : c.neverRequested)
        EXPECT_EQ(requests.find("\n" + path + "\n"), std::string::npos) << path;
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileServer, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });
