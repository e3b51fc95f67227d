#include "removabledevices.h"

#include "shellnamespace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace kamelo {

namespace {

// Kernel and memory file systems never hold a camera's pictures.
bool isPseudo(const QByteArray& fs) {
    for (const char* p : {"tmpfs",    "devtmpfs",  "proc",    "sysfs",       "overlay",  "squashfs",
                          "cgroup",   "cgroup2",   "autofs",  "fuse.portal", "nsfs",     "devpts",
                          "mqueue",   "debugfs",   "tracefs", "securityfs",  "pstore",   "bpf",
                          "configfs", "hugetlbfs", "fusectl", "binfmt_misc", "efivarfs", "ramfs"})
        if (fs == p)
            return true;
    return false;
}

QString readSmall(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.read(64)).trimmed();
}

} // namespace

bool MountedDevices::isCdrom(const QByteArray& fileSystemType, const QByteArray& device) {
    return fileSystemType == "iso9660" || fileSystemType == "udf" || device.startsWith("/dev/sr");
}

bool MountedDevices::isMediaMount(const QString& root) {
    return root.startsWith(QLatin1String("/media/")) ||
           root.startsWith(QLatin1String("/run/media/"));
}

bool MountedDevices::isRemovableBlockDevice(const QByteArray& device, const QString& sysfsRoot) {
    if (!device.startsWith("/dev/"))
        return false;
    const QString name = QString::fromLocal8Bit(device.mid(5));
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return false;
    const QString node = sysfsRoot + QStringLiteral("/class/block/") + name;
    if (!QFileInfo::exists(node))
        return false;
    // A partition's own folder has a "partition" file; the disk is its parent.
    QString disk = QFileInfo(node).canonicalFilePath();
    if (disk.isEmpty())
        disk = node;
    if (QFileInfo::exists(disk + QStringLiteral("/partition")))
        disk = QFileInfo(disk).path();
    if (readSmall(disk + QStringLiteral("/removable")) == QLatin1String("1"))
        return true;
    const QString where = QFileInfo(disk).canonicalFilePath();
    return where.contains(QLatin1String("/usb")) || where.contains(QLatin1String("/mmc"));
}

bool MountedDevices::hasCameraFolder(const QString& root) {
    QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name.compare(QLatin1String("DCIM"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QList<DeviceVolume> MountedDevices::volumes() const {
    QList<DeviceVolume> list;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || isPseudo(v.fileSystemType()))
            continue;
        const QString root = v.rootPath();
        const bool cdrom = isCdrom(v.fileSystemType(), v.device());
        const bool take = cdrom || isMediaMount(root) ||
                          isRemovableBlockDevice(v.device(), sysfs_) ||
                          (!v.isRoot() && hasCameraFolder(root));
        if (!take)
            continue;
        QString label = v.displayName();
        if (label.isEmpty() || label == root)
            label = ShellNamespace::folderLabel(root);
        list.append({root, label, cdrom});
    }
    return list;
}

} // namespace kamelo
