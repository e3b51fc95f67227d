#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kamelo {

// A device pictures are taken from: a memory card, a camera or a CD-ROM,
// as a mounted folder.
struct DeviceVolume {
    QString path;  // the mount point (or any folder, in tests)
    QString label; // shown in the device list
    bool cdrom = false;
    // Sources on a CD-ROM are never deleted.
    bool mayDelete() const { return !cdrom; }
};

// Where the import wizard finds devices. The running program lists mounted
// volumes; tests hand in folders.
class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    virtual QList<DeviceVolume> volumes() const = 0;
};

// The mounted volumes that are removable (mounted under /media or
// /run/media, or on a block device the kernel marks removable or that sits
// on a USB or MMC bus), CD-ROMs, and any volume with a DCIM folder at its
// root.
class MountedDevices : public DeviceSource {
public:
    explicit MountedDevices(QString sysfsRoot = QStringLiteral("/sys"))
        : sysfs_(std::move(sysfsRoot)) {}
    QList<DeviceVolume> volumes() const override;

    // The rules, each on its own.
    static bool isCdrom(const QByteArray& fileSystemType, const QByteArray& device);
    static bool isMediaMount(const QString& root);
    // device "/dev/sdb1": /sys/class/block/sdb1 or its parent disk says
    // removable, or the disk hangs off a USB or MMC bus.
    static bool isRemovableBlockDevice(const QByteArray& device, const QString& sysfsRoot);
    static bool hasCameraFolder(const QString& root);

private:
    QString sysfs_;
};

// A fixed list, for tests and for a device chosen on the command line.
class FolderDevices : public DeviceSource {
public:
    explicit FolderDevices(QList<DeviceVolume> list) : list_(std::move(list)) {}
    QList<DeviceVolume> volumes() const override { return list_; }

private:
    QList<DeviceVolume> list_;
};

} // namespace kamelo
