#include "shellnamespace.h"

#include "resources/qtstrings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

namespace kamelo {

namespace {

bool isUserVolume(const QStorageInfo& v) {
    if (!v.isValid() || !v.isReady() || v.isRoot())
        return false;
    const QString root = v.rootPath();
    // System mounts (kernel file systems, runtime folders) hold no pictures.
    for (const char* prefix : {"/proc", "/sys", "/dev", "/run", "/boot", "/snap", "/var", "/tmp"})
        if (root == QLatin1String(prefix) || root.startsWith(QLatin1String(prefix) + '/'))
            return root.startsWith(QLatin1String("/run/media/"));
    const QByteArray fs = v.fileSystemType();
    for (const char* pseudo : {"tmpfs", "devtmpfs", "proc", "sysfs", "overlay", "squashfs",
                               "cgroup", "cgroup2", "autofs", "fuse.portal", "nsfs"})
        if (fs == pseudo)
            return false;
    return true;
}

} // namespace

ShellNamespace::Place ShellNamespace::desktop() {
    const QString d = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return {res::qtext(res::IDS_SHELL_DESKTOP), QDir(d).exists() ? d : QDir::homePath(),
            Kind::Desktop, false};
}

QList<ShellNamespace::Place> ShellNamespace::places() {
    QList<Place> list;
    list.append({res::qtext(res::IDS_SHELL_HOME), QDir::homePath(), Kind::Home, false});
    list.append({res::qtext(res::IDS_SHELL_COMPUTER), QStringLiteral("/"), Kind::Computer, false});
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!isUserVolume(v))
            continue;
        const QString root = v.rootPath();
        const bool removable = root.startsWith(QLatin1String("/media/")) ||
                               root.startsWith(QLatin1String("/run/media/"));
        QString label = v.displayName();
        if (label.isEmpty() || label == root)
            label = folderLabel(root);
        list.append({label, root, Kind::Volume, removable});
    }
    return list;
}

QString ShellNamespace::folderLabel(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

} // namespace kamelo
