#include "acquirescan.h"

#include "import/core/acquireformats.h"
#include "platform/nameorder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace kamelo::acquire {

namespace {

constexpr int kMaxDepth = 64;

struct Walker {
    const std::atomic<bool>* stop = nullptr;
    bool firstOnly = false;
    std::vector<std::string> files;

    bool stopped() const { return (stop && stop->load()) || (firstOnly && !files.empty()); }

    bool walk(const QString& folder, int depth) {
        QDir dir(folder);
        if (!dir.exists() || !dir.isReadable())
            return false;
        const QFileInfoList entries = dir.entryInfoList(
            QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        QFileInfoList plain, folders;
        for (const QFileInfo& e : entries) {
            if (e.isSymLink() && e.isDir())
                continue;
            if (e.isDir())
                folders.append(e);
            else if (e.isFile() && isAcceptedPath(e.fileName().toStdString()))
                plain.append(e);
        }
        auto byName = [](const QFileInfo& a, const QFileInfo& b) {
            return NameOrder::lessThan(a.fileName(), b.fileName());
        };
        std::sort(plain.begin(), plain.end(), byName);
        std::sort(folders.begin(), folders.end(), byName);
        for (const QFileInfo& f : plain) {
            files.push_back(f.absoluteFilePath().toStdString());
            if (firstOnly)
                return true;
        }
        if (depth >= kMaxDepth)
            return true;
        for (const QFileInfo& f : folders) {
            if (stopped())
                break;
            walk(f.absoluteFilePath(), depth + 1);
        }
        return true;
    }
};

} // namespace

AcquireScan::Result AcquireScan::scan(const std::string& root, const std::atomic<bool>* stop) {
    Walker w;
    w.stop = stop;
    Result r;
    r.readable = w.walk(QString::fromStdString(root), 0);
    r.files = std::move(w.files);
    return r;
}

bool AcquireScan::hasAcceptedFile(const std::string& root) {
    Walker w;
    w.firstOnly = true;
    w.walk(QString::fromStdString(root), 0);
    return !w.files.empty();
}

} // namespace kamelo::acquire
