#pragma once

#include <cstdint>
#include <string>

namespace vela {

// Which transport fetches the lists and files. The updater runs with HTTP;
// the FTP client is kept working behind the same outcomes.
struct TransportMode {
    bool http = true;
    bool ftp = false;
};

// The server settings of section "SERVER_1" of "VUSERVERLIST.INI".
struct ServerSettings {
    std::string ftpAddress;
    int32_t ftpPort = 0;
    std::string ftpUser;
    std::string ftpPassword;
    // "HTTPFILE" (a URL) in HTTP mode, "FTPFILE" (a server path) in FTP mode.
    std::string fileListLocation;
};

inline constexpr const char* kServerListName = "VUSERVERLIST.INI";

// Reads the server list of the installation folder. Absent keys (or an
// absent file) give the empty defaults; the failed fetch of an empty
// location reports it later.
ServerSettings readServerList(const std::string& installFolder, TransportMode mode);

} // namespace vela
