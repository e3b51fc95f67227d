#pragma once

// A CUPS scheduler of the test's own, for the tests that print through a
// real queue.

#include "pdftools.h"
#include "tests/cli/clirunner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kamelo::test {

inline const char* kQueue = "KameloTest";
inline const char* kPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A CUPS scheduler of the test's own: its folders, socket and queue live in a
// scratch folder; nothing of the system's CUPS is touched.
class PrivateCups {
public:
    explicit PrivateCups(const std::string& root) : root_(root) {}
    ~PrivateCups() { stop(); }

    // Empty when it runs, else why not. A paper name ("Letter") makes the
    // queue's PPD say that paper is its default.
    std::string start(const std::string& defaultPaper = {}) {
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
        const char* argv[] = {"/usr/sbin/cupsd", "-f",   "-c", conf.c_str(), "-s",
                              files.c_str(),     nullptr};
        // Its output goes nowhere (it must not hold the test's pipes open),
        // and it ends with the test even when a watchdog ends the test.
        const pid_t child = fork();
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int null = open("/dev/null", O_RDWR);
            for (int fd : {0, 1, 2})
                dup2(null, fd);
            execv(argv[0], const_cast<char**>(argv));
            _exit(127);
        }
        pid_ = child > 0 ? child : 0;
        const int spawned = child > 0 ? 0 : -1;
        if (spawned != 0) {
            pid_ = 0;
            return "cupsd could not be started";
        }
        ::setenv("CUPS_SERVER", socket().c_str(), 1);
        for (int i = 0; i < 150; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return "cupsd ended at once: " +
                       runCommand("tail -5 " + shellQuote(root_ + "/log/error_log"));
            }
            if (runCommand("lpstat -r 2>/dev/null").find("is running") != std::string::npos &&
                runCommand("lpstat -r 2>/dev/null").find("not") == std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::string ppd = kPpd;
        if (!defaultPaper.empty()) {
            ppd = root_ + "/default.ppd";
            runCommand("sed -E 's/^\\*(Default(PageSize|PageRegion|ImageableArea|PaperDimension)):"
                       ".*/*\\1: " +
                       defaultPaper + "/' " + shellQuote(kPpd) + " > " + shellQuote(ppd));
        }
        int code = 0;
        const std::string out = runCommand(
            std::string("lpadmin -p ") + kQueue + " -v " + shellQuote("file://" + output()) +
                " -P " + shellQuote(ppd) + " -E 2>&1 && lpadmin -d " + kQueue + " 2>&1",
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
                std::filesystem::exists(output()) && !pdfInfoField(output(), "Pages").empty())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

private:
    std::string root_;
    pid_t pid_ = 0;
};

// A short scratch folder (cupsd refuses long socket paths) that the lp user
// can enter, removed at the end.
struct CupsFolder {
    std::string path;
    CupsFolder() {
        char root[] = "/tmp/kcupsXXXXXX";
        if (mkdtemp(root)) {
            path = root;
            ::chmod(root, 0755);
        }
    }
    ~CupsFolder() {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
};

} // namespace kamelo::test
