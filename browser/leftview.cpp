#include "leftview.h"

#include "chrome/fileui.h"
#include "newfolderdialog.h"
#include "platform/core/fileops.h"
#include "platform/core/trashcan.h"
#include "platform/fileerrortext.h"
#include "resources/qtstrings.h"
#include "shelltreemodel.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>

namespace kamelo {

CLeftView::CLeftView(QWidget* parent)
    : QTreeView(parent), model_(new ShellTreeModel(this)), ui_(&FileUi::standard()) {
    setWindowTitle(res::qtext(res::IDS_TREE_WINDOW_TEXT));
    setObjectName(QStringLiteral("CLeftView"));
    setHeaderHidden(true);
    setMinimumSize(0, 0);
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    askName_ = [this] {
        NewFolderDialog dialog(this);
        return dialog.exec() == QDialog::Accepted ? dialog.name() : QString();
    };
    connect(model_, &ShellTreeModel::folderRenamed, this, &CLeftView::folderRenamed);
    connect(model_, &ShellTreeModel::renameFailed, this,
            [this](const QString& text) { ui_->error(this, text); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    buildMenu();
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        menuItem_ = indexAt(pos);
        if (!menuItem_.isValid())
            return;
        const QList<QAction*> a = menu_->actions();
        for (QAction* act : a) {
            const int id = act->data().toInt();
            act->setEnabled(id == kDelete ? canDelete(menuItem_)
                            : id == kRename
                                ? model_->kindOf(menuItem_) == ShellNamespace::Kind::Folder
                                : true);
        }
        menu_->popup(viewport()->mapToGlobal(pos));
    });
    expand(model_->root());
}

void CLeftView::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("Tree View context"));
    const struct {
        int id;
        int text;
        std::function<void()> run;
    } items[] = {
        {kNewFolder, res::IDS_MENU_TREE_NEW_FOLDER, [this] { newFolderIn(menuItem_); }},
        {kDelete, res::IDS_MENU_TREE_DELETE, [this] { deleteItem(menuItem_); }},
        {kRename, res::IDS_MENU_TREE_RENAME, [this] { renameItem(menuItem_); }},
        {kRefresh, res::IDS_MENU_TREE_REFRESH, [this] { model_->refresh(menuItem_); }},
    };
    for (const auto& item : items) {
        QAction* a = menu_->addAction(res::qtext(item.text));
        a->setData(item.id);
        connect(a, &QAction::triggered, this, item.run);
    }
}

QString CLeftView::currentFolder() const {
    return model_->pathOf(currentIndex());
}

QString CLeftView::currentLabelChain() const {
    return model_->labelChain(currentIndex());
}

void CLeftView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (current.isValid() && current != previous && !suppressed_)
        emit folderSelected(model_->pathOf(current));
}

void CLeftView::mousePressEvent(QMouseEvent* event) {
    // A right click only opens the context menu on its item: the selection
    // and the listed folder stay.
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CLeftView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

bool CLeftView::selectPath(const QString& path) {
    QModelIndex i = model_->indexForPath(path);
    // A folder made after its parent was read (an import's new folder):
    // the nearest folder the tree holds is read again, then asked once more.
    for (QString up = QFileInfo(QDir::cleanPath(path)).path(); !i.isValid();
         up = QFileInfo(up).path()) {
        const QModelIndex known = model_->indexForPath(up);
        if (known.isValid()) {
            model_->refresh(known);
            i = model_->indexForPath(path);
            break;
        }
        if (up == QLatin1String("/") || up == QLatin1String("."))
            break;
    }
    if (!i.isValid())
        return false;
    if (i == currentIndex()) {
        emit folderSelected(model_->pathOf(i)); // listed again on request
        return true;
    }
    setCurrentIndex(i);
    scrollTo(i);
    return true;
}

bool CLeftView::selectLabelChain(const QString& chain) {
    const QModelIndex i = model_->indexForLabelChain(chain);
    if (!i.isValid())
        return false;
    setCurrentIndex(i);
    scrollTo(i);
    return true;
}

void CLeftView::selectRoot() {
    expand(model_->root());
    setCurrentIndex(model_->root());
}

void CLeftView::goParent() {
    const QModelIndex up = currentIndex().parent();
    if (up.isValid())
        setCurrentIndex(up);
}

void CLeftView::refreshCurrent() {
    const QModelIndex i = currentIndex();
    if (!i.isValid())
        return;
    const bool open = isExpanded(i);
    model_->refresh(i);
    if (open)
        expand(i);
}

void CLeftView::refreshFolder(const QString& path) {
    const QString wanted = QDir::cleanPath(path);
    // Only items already read are refreshed; others read fresh when opened.
    const QModelIndex i = model_->indexForPath(wanted);
    if (!i.isValid())
        return;
    const bool open = isExpanded(i);
    const QString current = currentFolder();
    model_->refresh(i);
    if (open)
        expand(i);
    // The selection may have been below the refreshed item.
    if (!current.isEmpty() && currentFolder() != current) {
        suppressed_ = true;
        const QModelIndex again = model_->indexForPath(current);
        if (again.isValid())
            setCurrentIndex(again);
        suppressed_ = false;
    }
}

bool CLeftView::canDelete(const QModelIndex& index) const {
    return index.isValid() && model_->kindOf(index) == ShellNamespace::Kind::Folder &&
           model_->depthOf(index) >= 3;
}

bool CLeftView::deleteItem(const QModelIndex& index) {
    if (!canDelete(index))
        return false;
    const QString path = model_->pathOf(index);
    if (!ui_->confirm(
            this, QString::fromUtf8(res::format(res::IDS_CONFIRM_TRASH_FOLDER,
                                                QFileInfo(path).fileName().toUtf8().constData()))))
        return false;
    const TrashCan::Result r = TrashCan::trash(path.toStdString());
    if (!r.ok) {
        ui_->error(this, FileErrorText::message(res::IDS_FAILED_DELETE, path, r.error));
        return false;
    }
    const QString parentPath = model_->pathOf(index.parent());
    const bool wasCurrent = currentIndex() == index ||
                            FileOps::isInside(currentFolder().toStdString(), path.toStdString());
    const QModelIndex parentIndex = index.parent();
    model_->refresh(parentIndex);
    expand(parentIndex);
    if (wasCurrent)
        setCurrentIndex(parentIndex);
    emit folderChanged(parentPath);
    return true;
}

bool CLeftView::newFolderIn(const QModelIndex& index) {
    if (!index.isValid())
        return false;
    const QString name = askName_();
    if (!NewFolderDialog::isValidName(name))
        return false;
    const QString parent = model_->pathOf(index);
    const QString path = QDir(parent).filePath(name.trimmed());
    if (QFileInfo(path).isDir())
        return false; // there already: nothing made, nothing said
    if (const FileOps::Error e = FileOps::makeFolder(path.toStdString())) {
        ui_->error(this, FileErrorText::message(res::IDS_FAILED_NEW_FOLDER, path, e.code));
        return false;
    }
    refreshFolder(parent);
    expand(index);
    emit folderChanged(parent);
    return true;
}

void CLeftView::renameItem(const QModelIndex& index) {
    if (index.isValid() && model_->kindOf(index) == ShellNamespace::Kind::Folder)
        edit(index);
}

} // namespace kamelo
