#include "publish.h"

#include "tests/support/scratchdir.h"
#include "updater/crc32file.h"

#include <zlib.h>

namespace vela::test {

using kamelo::test::readFile;
using kamelo::test::writeFile;

std::string patterned(size_t size, unsigned seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>(((i + seed * 131) * 2654435761u) >> 9);
    return data;
}

namespace {

std::string serverName(const std::string& pathName) {
    std::string s = pathName;
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

} // namespace

void publish(const std::string& www, int port, const std::vector<Published>& files,
             const std::string& general) {
    std::string list = "[GENERAL]\nFILE_COUNT=" + std::to_string(files.size()) +
                       "\nDEST_PATH=http://127.0.0.1:" + std::to_string(port) + "/files/\n" +
                       general;
    int n = 0;
    for (const auto& f : files) {
        const std::string stored = www + "/files/" + serverName(f.pathName);
        writeFile(www + "/crc.tmp", f.bytes);
        const uint32_t crc = *fileCrc32(www + "/crc.tmp");
        ++n;
        list += "[FILE_" + std::to_string(n) + "]\nPATHNAME=" + f.pathName + "\nFILESIZE=" +
                std::to_string(static_cast<long long>(f.bytes.size()) + f.listedSizeDelta) +
                "\nFILECRC=" + std::to_string(crc) + "\nFILEVER=1.0." + std::to_string(n) +
                "\nUPDATETYPE=" + f.updateType + "\n";
        if (!f.subFolder.empty())
            list += "SUBFOLDER=" + f.subFolder + "\n";
        if (f.gz) {
            writeFile(stored + ".gz", "");
            gzFile gz = gzopen((stored + ".gz").c_str(), "wb");
            gzwrite(gz, f.bytes.data(), static_cast<unsigned>(f.bytes.size()));
            gzclose(gz);
            if (f.corruptGz) {
                std::string packed = readFile(stored + ".gz");
                for (size_t i = packed.size() / 2; i < packed.size() / 2 + 16 && i < packed.size();
                     ++i)
                    packed[i] = static_cast<char>(packed[i] ^ 0x55);
                writeFile(stored + ".gz", packed);
            }
            list += "COMPRESSTYPE=GZ\nCOMPRESSEDFILESIZE=" +
                    std::to_string(readFile(stored + ".gz").size()) + "\n";
        } else {
            writeFile(stored, f.bytes);
        }
    }
    writeFile(www + "/list.ini", list);
}

void writeServerList(const std::string& install, int port) {
    writeFile(install + "/VUSERVERLIST.INI",
              "[SERVER_1]\nHTTPFILE=http://127.0.0.1:" + std::to_string(port) + "/list.ini\n");
}

} // namespace vela::test
