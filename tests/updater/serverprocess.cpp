#include "serverprocess.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vela::test {

ServerProcess::~ServerProcess() {
    stop();
}

bool ServerProcess::start(const std::vector<std::string>& argv, std::string& why) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        why = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        why = "cannot start " + argv[0];
        return false;
    }
    pid_ = pid;
    std::string line;
    char c;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(pipeFds[0]);
    port_ = std::atoi(line.c_str());
    if (port_ <= 0) {
        why = argv[0] + " printed no port";
        stop();
        return false;
    }
    return true;
}

void ServerProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

std::string systemPython() {
    return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "";
}

bool pythonHasModule(const std::string& module) {
    const std::string python = systemPython();
    if (python.empty())
        return false;
    const std::string command = python + " -c 'import " + module + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::string serverScript(const std::string& name) {
    return std::string(VELA_TEST_SOURCE_DIR) + "/servers/" + name;
}

void spinUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void ensureCoreApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "updater_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

} // namespace vela::test
