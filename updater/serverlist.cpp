#include "updater/serverlist.h"

#include "updater/paths.h"
#include "updater/profile.h"

namespace vela {

ServerSettings readServerList(const std::string& installFolder, TransportMode mode) {
    ProfileFile profile;
    profile.load(joinPath(installFolder, kServerListName));
    constexpr const char* section = "SERVER_1";
    ServerSettings s;
    s.ftpAddress = profile.text(section, "FTP_IP");
    s.ftpPort = static_cast<int32_t>(profile.integer(section, "FTP_PORT", 0));
    s.ftpUser = profile.text(section, "FTP_USER");
    s.ftpPassword = profile.text(section, "FTP_PASS");
    if (mode.http)
        s.fileListLocation = profile.text(section, "HTTPFILE");
    else if (mode.ftp)
        s.fileListLocation = profile.text(section, "FTPFILE");
    return s;
}

} // namespace vela
