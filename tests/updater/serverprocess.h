#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vela::test {

// A test server started on 127.0.0.1 by a script that prints its port as
// its first line; stopped when the object goes away.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Runs the program with its arguments; false with the reason when it
    // cannot start or prints no port.
    bool start(const std::vector<std::string>& argv, std::string& why);
    void stop();
    int port() const { return port_; }

private:
    int pid_ = -1;
    int port_ = 0;
};

// Debian's interpreter (the one with the packaged server modules), or empty.
std::string systemPython();
// True when `python -c "import MODULE"` works.
bool pythonHasModule(const std::string& module);
// The folder of the server scripts.
std::string serverScript(const std::string& name);

// Runs the event loop until `done` holds (hangs end with the watchdog).
void spinUntil(const std::function<bool()>& done);
// The process's QCoreApplication, made on first use.
void ensureCoreApplication();

} // namespace vela::test
