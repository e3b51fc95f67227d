#include "imaging/bitmap.h"
#include "imaging/picturesaver.h"
#include "pdftools.h"
#include "tests/cli/clirunner.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace kamelo;
using namespace kamelo::test;

namespace {

const char* kQueue = "KameloTest";
const char* kPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A CUPS scheduler of the test's own: its folders, socket and queue live in a
// scratch folder; nothing of the system's CUPS is touched.
class PrivateCups {
public:
    explicit PrivateCups(const std::string& root) : root_(root) {}
    ~PrivateCups() { stop(); }

    // Empty when it runs, else why not.
    std::string start() {
        namespace fs = std::filesystem;
        if (!fs::exists("/usr/sbin/cupsd") || !fs::exists("/usr/sbin/lpadmin"))
            return "cupsd or lpadmin is not installed (packages cups, cups-client)";
        if (!fs::exists(kPpd))
            return std::string(kPpd) + " is missing (package cups-filters)";
        for (const char* d : {"etc/ppd", "spool/tmp", "cache", "state/certs", "log", "run"})
            fs::create_directories(root_ + "/" + d);
        runCommand("chgrp -R lp " + shellQuote(root_ + "/spool") + " " +
                   shellQuote(root_ + "/cache") + " " + shellQuote(root_ + "/state") +
                   " 2>/dev/null; chmod 0770 " + shellQuote(root_ + "/spool") + " " +
                   shellQuote(root_ + "/spool/tmp"));
        writeText(root_ + "/cups-files.conf",
                  "ServerRoot " + root_ + "/etc\nRequestRoot " + root_ + "/spool\nTempDir " +
                      root_ + "/spool/tmp\nCacheDir " + root_ + "/cache\nStateDir " + root_ +
                      "/state\nErrorLog " + root_ + "/log/error_log\nAccessLog " + root_ +
                      "/log/access_log\nPageLog " + root_ +
                      "/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"
                      "FileDevice Yes\n");
        writeText(root_ + "/cupsd.conf", "LogLevel info\nListen " + socket() +
                                             "\nBrowsing No\nWebInterface No\n"
                                             "DefaultAuthType Basic\n<Location />\n"
                                             "  Order allow,deny\n  Allow localhost\n"
                                             "</Location>\n<Policy default>\n  <Limit All>\n"
                                             "    Order deny,allow\n  </Limit>\n</Policy>\n");
        const std::string conf = root_ + "/cupsd.conf", files = root_ + "/cups-files.conf";
        const char* argv[] = {"/usr/sbin/cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(),
                              nullptr};
        if (posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            pid_ = 0;
            return "cupsd could not be started";
        }
        ::setenv("CUPS_SERVER", socket().c_str(), 1);
        for (int i = 0; i < 150; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return "cupsd ended at once: " + runCommand("tail -5 " +
                                                            shellQuote(root_ + "/log/error_log"));
            }
            if (runCommand("lpstat -r 2>/dev/null").find("is running") != std::string::npos &&
                runCommand("lpstat -r 2>/dev/null").find("not") == std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        int code = 0;
        const std::string out = runCommand(std::string("lpadmin -p ") + kQueue + " -v " +
                                               shellQuote("file://" + output()) + " -P " +
                                               shellQuote(kPpd) + " -E 2>&1 && lpadmin -d " +
                                               kQueue + " 2>&1",
                                           &code);
        if (code != 0)
            return "lpadmin failed: " + out;
        return {};
    }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                ::kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
            pid_ = 0;
        }
    }

    std::string socket() const { return root_ + "/run/cups.sock"; }
    std::string output() const { return root_ + "/out.pdf"; }

    // Waits until the queue has no job left.
    bool waitIdle() {
        for (int i = 0; i < 600; ++i) {
            if (runCommand(std::string("lpstat -o ") + kQueue + " 2>/dev/null").empty() &&
                std::filesystem::exists(output()) &&
                !pdfInfoField(output(), "Pages").empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

private:
    std::string root_;
    pid_t pid_ = 0;
};

std::string solid(const ScratchDir& dir, const std::string& name, uint32_t rgb) {
    imaging::Bitmap b;
    b.create(400, 300, rgb);
    const std::string path = dir.file(name);
    imaging::PictureSaver::save(b, path, imaging::PictureSaver::formatForExtension(".png"));
    return path;
}

} // namespace

TEST(PrintCups, SheetOnAPrivateQueueAndNoPrinterAfterwards) {
    Watchdog watchdog(240);
    if (!popplerAvailable())
        GTEST_SKIP() << "poppler-utils not installed";
    ScratchDir dir;
    // cupsd refuses long socket paths; a short folder of its own.
    char shortRoot[] = "/tmp/kcupsXXXXXX";
    ASSERT_NE(mkdtemp(shortRoot), nullptr);
    // The filters run as the lp user and must reach the spool folder.
    ::chmod(shortRoot, 0755);
    struct Remove {
        std::string path;
        ~Remove() { std::filesystem::remove_all(path); }
    } cleanup{shortRoot};
    PrivateCups cups(shortRoot);
    const std::string why = cups.start();
    if (!why.empty())
        GTEST_SKIP() << "no private CUPS scheduler: " << why;

    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF};
    std::vector<std::string> args = {"print", "--printer", kQueue, "--sheet", "2x2"};
    for (size_t i = 0; i < colours.size(); ++i)
        args.push_back(solid(dir, "c" + std::to_string(i) + ".png", colours[i]));
    const CliResult r = runCli(dir, args, CliStreams::Both, 120);
    ASSERT_EQ(r.code, 0) << r.out;
    ASSERT_TRUE(cups.waitIdle()) << runCommand("lpstat -l -o 2>&1");
    EXPECT_EQ(pdfInfoField(cups.output(), "Pages"), "2");
    const Raster p1 = renderPage(cups.output(), 1, 72, dir.path());
    const Raster p2 = renderPage(cups.output(), 2, 72, dir.path());
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(colourBox(p1, colours[i]).empty()) << i;
    EXPECT_FALSE(colourBox(p2, colours[4]).empty());
    EXPECT_TRUE(colourBox(p2, colours[0]).empty());

    // Without a scheduler there is no printer.
    cups.stop();
    const CliResult none =
        runCli(dir, {"print", "--printer", kQueue, args.back()}, CliStreams::Errors, 60);
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.out.find("설치된 프린터가 없습니다."), std::string::npos) << none.out;
    ::unsetenv("CUPS_SERVER");
}
