#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vela::test {

// One file of a published update.
struct Published {
    Published(std::string path, std::string data, bool packed = false, std::string type = "RENAME",
              std::string sub = {}, long long sizeDelta = 0, bool corrupt = false)
        : pathName(std::move(path)), bytes(std::move(data)), gz(packed),
          updateType(std::move(type)), subFolder(std::move(sub)), listedSizeDelta(sizeDelta),
          corruptGz(corrupt) {}
    std::string pathName; // as the list names it (may hold "\")
    std::string bytes;
    bool gz = false;
    std::string updateType = "RENAME";
    std::string subFolder;
    // Wrong values written into the list (for the check tests).
    long long listedSizeDelta = 0;
    bool corruptGz = false;
};

// Writes "<www>/files/..." and "<www>/list.ini" for the files, with the
// file list's "GENERAL" extra lines.
void publish(const std::string& www, int port, const std::vector<Published>& files,
             const std::string& general = {});

// Writes the installation's server list naming the published list.
void writeServerList(const std::string& install, int port);

// Bytes that differ with the seed.
std::string patterned(size_t size, unsigned seed);

} // namespace vela::test
