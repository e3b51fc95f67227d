#include "updater/downloadcheck.h"

#include "updater/crc32file.h"
#include "updater/paths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace vela {

std::string fileSha256(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}

bool matchesEntry(const std::string& path, const UpdateEntry& entry) {
    if (fileSize(path) != entry.fileSize)
        return false;
    auto crc = fileCrc32(path);
    if (!crc || *crc != entry.crc)
        return false;
    return entry.sha256.empty() || fileSha256(path) == entry.sha256;
}

} // namespace vela
