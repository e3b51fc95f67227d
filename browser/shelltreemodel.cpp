#include "shelltreemodel.h"

#include "platform/core/fileops.h"
#include "platform/fileerrortext.h"
#include "platform/nameorder.h"
#include "resources/qtstrings.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QStyle>

#include <algorithm>

namespace kamelo {

struct ShellTreeModel::Node {
    QString label;
    QString path;
    ShellNamespace::Kind kind = ShellNamespace::Kind::Folder;
    bool removable = false;
    Node* parent = nullptr;
    bool loaded = false;
    mutable int hasSubfolders = -1; // -1 not probed yet
    std::vector<std::unique_ptr<Node>> children;

    int row() const {
        if (!parent)
            return 0;
        for (size_t i = 0; i < parent->children.size(); ++i)
            if (parent->children[i].get() == this)
                return int(i);
        return 0;
    }
};

namespace {

using Kind = ShellNamespace::Kind;

QStringList subfolders(const QString& path) {
    QStringList names =
        QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::NoSort);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& n) { return n.startsWith(QLatin1Char('.')); }),
                names.end());
    NameOrder::sort(names);
    return names;
}

bool probeSubfolders(const QString& path) {
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (!it.fileName().startsWith(QLatin1Char('.')))
            return true;
    }
    return false;
}

QIcon themed(const char* name, QStyle::StandardPixmap fallback) {
    const QIcon base =
        QApplication::style() ? QApplication::style()->standardIcon(fallback) : QIcon();
    return QIcon::fromTheme(QLatin1String(name), base);
}

} // namespace

ShellTreeModel::ShellTreeModel(QObject* parent) : QAbstractItemModel(parent) {
    // An invisible holder above the desktop, so the desktop is a real row.
    root_ = std::make_unique<Node>();
    root_->loaded = true;
    auto desktop = std::make_unique<Node>();
    const ShellNamespace::Place d = ShellNamespace::desktop();
    desktop->label = d.label;
    desktop->path = d.path;
    desktop->kind = Kind::Desktop;
    desktop->parent = root_.get();
    root_->children.push_back(std::move(desktop));
}

ShellTreeModel::~ShellTreeModel() = default;

ShellTreeModel::Node* ShellTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex ShellTreeModel::indexOf(Node* node) const {
    if (!node || node == root_.get())
        return {};
    return createIndex(node->row(), 0, node);
}

QModelIndex ShellTreeModel::root() const {
    return index(0, 0);
}

void ShellTreeModel::load(Node* node) const {
    if (node->loaded)
        return;
    node->loaded = true;
    auto add = [node](const QString& label, const QString& path, Kind kind, bool removable) {
        auto child = std::make_unique<Node>();
        child->label = label;
        child->path = path;
        child->kind = kind;
        child->removable = removable;
        child->parent = node;
        node->children.push_back(std::move(child));
    };
    if (node->kind == Kind::Desktop) {
        for (const ShellNamespace::Place& p : ShellNamespace::places())
            add(p.label, p.path, p.kind, p.removable);
        // The desktop folder's own folders follow, as on the desktop itself.
        if (node->path != QDir::homePath())
            for (const QString& name : subfolders(node->path))
                add(name, QDir(node->path).filePath(name), Kind::Folder, false);
        return;
    }
    for (const QString& name : subfolders(node->path))
        add(name, QDir(node->path).filePath(name), Kind::Folder, node->removable);
}

QModelIndex ShellTreeModel::index(int row, int column, const QModelIndex& parent) const {
    Node* p = nodeOf(parent);
    if (column != 0 || row < 0 || !p->loaded || size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex ShellTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    return indexOf(nodeOf(child)->parent);
}

int ShellTreeModel::rowCount(const QModelIndex& parent) const {
    const Node* p = nodeOf(parent);
    return p->loaded ? int(p->children.size()) : 0;
}

int ShellTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool ShellTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* n = nodeOf(parent);
    if (n->loaded)
        return !n->children.empty();
    if (n->kind != Kind::Folder || n->removable)
        return true; // places and removable media are not probed
    if (n->hasSubfolders < 0)
        n->hasSubfolders = probeSubfolders(n->path) ? 1 : 0;
    return n->hasSubfolders == 1;
}

bool ShellTreeModel::canFetchMore(const QModelIndex& parent) const {
    return !nodeOf(parent)->loaded;
}

void ShellTreeModel::fetchMore(const QModelIndex& parent) {
    Node* n = nodeOf(parent);
    if (n->loaded)
        return;
    // Count first, then insert, so views see a proper insertion.
    Node probe;
    probe.label = n->label;
    probe.path = n->path;
    probe.kind = n->kind;
    probe.removable = n->removable;
    load(&probe);
    if (probe.children.empty()) {
        n->loaded = true;
        return;
    }
    beginInsertRows(parent, 0, int(probe.children.size()) - 1);
    n->children = std::move(probe.children);
    for (auto& c : n->children)
        c->parent = n;
    n->loaded = true;
    endInsertRows();
}

void ShellTreeModel::refresh(const QModelIndex& index) {
    Node* n = nodeOf(index);
    if (!n->loaded) {
        n->hasSubfolders = -1;
        return;
    }
    if (!n->children.empty()) {
        beginRemoveRows(index, 0, int(n->children.size()) - 1);
        n->children.clear();
        endRemoveRows();
    }
    n->loaded = false;
    n->hasSubfolders = -1;
    fetchMore(index);
}

QString ShellTreeModel::pathOf(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index)->path : QString();
}

Kind ShellTreeModel::kindOf(const QModelIndex& index) const {
    return nodeOf(index)->kind;
}

int ShellTreeModel::depthOf(const QModelIndex& index) const {
    int depth = -1;
    for (const Node* n = nodeOf(index); n && n != root_.get(); n = n->parent)
        ++depth;
    return depth;
}

QString ShellTreeModel::labelChain(const QModelIndex& index) const {
    QString chain;
    for (const Node* n = nodeOf(index); n && n != root_.get(); n = n->parent)
        chain.prepend(n->label + QLatin1Char('\\'));
    return chain;
}

QModelIndex ShellTreeModel::indexForLabelChain(const QString& chain) {
    const QStringList labels = chain.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QModelIndex at;
    for (const QString& label : labels) {
        if (canFetchMore(at))
            fetchMore(at);
        QModelIndex next;
        for (int r = 0; r < rowCount(at); ++r)
            if (nodeOf(index(r, 0, at))->label == label) {
                next = index(r, 0, at);
                break;
            }
        if (!next.isValid())
            return {};
        at = next;
    }
    return at;
}

QModelIndex ShellTreeModel::indexForPath(const QString& given) {
    const QString path = QDir::cleanPath(QDir(given).absolutePath());
    const QModelIndex desktop = root();
    if (canFetchMore(desktop))
        fetchMore(desktop);
    // Start from the place that holds the path most closely (the home
    // folder before "내 컴퓨터", a volume before its parent folders).
    QModelIndex start;
    int best = -1;
    for (int r = 0; r < rowCount(desktop); ++r) {
        const QModelIndex i = index(r, 0, desktop);
        const Node* n = nodeOf(i);
        if (n->kind == Kind::Folder)
            continue;
        const QString base = QDir::cleanPath(n->path);
        const bool inside =
            path == base || base == QLatin1String("/") || path.startsWith(base + QLatin1Char('/'));
        if (inside && base.size() > best) {
            best = int(base.size());
            start = i;
        }
    }
    if (!start.isValid())
        return {};
    if (path == QDir::cleanPath(nodeOf(start)->path))
        return start;
    const QString base = QDir::cleanPath(nodeOf(start)->path);
    const QStringList parts =
        path.mid(base == QLatin1String("/") ? 1 : base.size() + 1).split(QLatin1Char('/'));
    QModelIndex at = start;
    for (const QString& part : parts) {
        if (canFetchMore(at))
            fetchMore(at);
        QModelIndex next;
        for (int r = 0; r < rowCount(at); ++r)
            if (QFileInfo(nodeOf(index(r, 0, at))->path).fileName() == part) {
                next = index(r, 0, at);
                break;
            }
        if (!next.isValid())
            return {};
        at = next;
    }
    return at;
}

QIcon ShellTreeModel::iconOf(const Node* n) const {
    switch (n->kind) {
    case Kind::Desktop:
        return themed("user-desktop", QStyle::SP_DesktopIcon);
    case Kind::Home:
        return themed("user-home", QStyle::SP_DirHomeIcon);
    case Kind::Computer:
        return themed("computer", QStyle::SP_ComputerIcon);
    case Kind::Volume:
        return n->removable ? themed("drive-removable-media", QStyle::SP_DriveFDIcon)
                            : themed("drive-harddisk", QStyle::SP_DriveHDIcon);
    case Kind::Folder:
        break;
    }
    // A selected folder shows open.
    static const QIcon folder = [] {
        QIcon icon = themed("folder", QStyle::SP_DirClosedIcon);
        const QIcon open = themed("folder-open", QStyle::SP_DirOpenIcon);
        for (int size : {16, 22, 32})
            icon.addPixmap(open.pixmap(size), QIcon::Selected);
        return icon;
    }();
    return folder;
}

QVariant ShellTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const Node* n = nodeOf(index);
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return n->label;
    if (role == Qt::DecorationRole)
        return iconOf(n);
    if (role == Qt::ToolTipRole)
        return n->path;
    return {};
}

Qt::ItemFlags ShellTreeModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractItemModel::flags(index);
    if (index.isValid() && nodeOf(index)->kind == Kind::Folder)
        f |= Qt::ItemIsEditable;
    return f;
}

bool ShellTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid())
        return false;
    Node* n = nodeOf(index);
    const QString name = value.toString().trimmed();
    if (n->kind != Kind::Folder || name.isEmpty() || name == n->label)
        return false;
    if (name.contains(QLatin1Char('/'))) {
        emit renameFailed(res::qtext(res::IDS_NAME_HAS_SLASH));
        return false;
    }
    const QString from = n->path;
    const QString to = QDir(QFileInfo(from).path()).filePath(name);
    if (const FileOps::Error e = FileOps::rename(from.toStdString(), to.toStdString())) {
        emit renameFailed(FileErrorText::message(res::IDS_FAILED_RENAME, from, e.code));
        return false;
    }
    n->label = name;
    n->path = to;
    // The branch below is read again from its new place when opened.
    refresh(index);
    emit dataChanged(index, index);
    emit folderRenamed(from, to);
    return true;
}

} // namespace kamelo
