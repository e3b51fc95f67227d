#pragma once

#include <cstdint>
#include <string>

namespace vela {

// How an entry replaces its installed file.
enum UpdateType : int32_t {
    kUpdateRename = 0,  // "RENAME": now, or after the program ends
    kUpdateReplace = 1, // "REPLACE": now
    kUpdateReboot = 2,  // anything else: now, or at the next reboot
};

// One file of the update plan, as the file list describes it.
struct UpdateEntry {
    std::string pathName;   // "PATHNAME", relative to the installation folder
    std::string serverName; // pathName + ".gz" for "GZ" entries, else empty
    int32_t fileSize = 0;
    int32_t compressedSize = 0;
    uint32_t crc = 0;
    std::string version;
    int32_t updateType = kUpdateReboot;
    int32_t ifExist = 0;
    std::string runBeforeReboot;
    std::string runAfterReboot;
    std::string compressType;
    std::string subFolder;
    // "FILESHA256" in lower case, or empty when the list publishes none.
    std::string sha256;

    bool compressed() const { return compressType == "GZ"; }
};

} // namespace vela
