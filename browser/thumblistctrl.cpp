#include "thumblistctrl.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "browser/core/cacheindex.h"
#include "browser/core/folderenumerator.h"
#include "changeiconthread.h"
#include "chrome/fileui.h"
#include "imaging/picturefile.h"
#include "listfileactions.h"
#include "platform/fileclipboard.h"
#include "resources/qtstrings.h"
#include "thumbcachesaver.h"
#include "thumbcellart.h"
#include "thumbcelldelegate.h"
#include "thumblistmodel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

#include <sys/stat.h>

namespace kamelo {

CThumbListCtrl::CThumbListCtrl(QWidget* parent)
    : QWidget(parent), model_(new ThumbListModel(this)), icons_(new QListView(this)),
      details_(new QTreeView(this)), stack_(new QStackedLayout(this)),
      delegate_(new ThumbCellDelegate(this)), saver_(new ThumbCacheSaver(this)),
      jobs_(CChangeIconThread::defaultJobs()), actions_(new ListFileActions(*this)) {
    setObjectName(QStringLiteral("CThumbListCtrl"));
    connect(saver_, &ThumbCacheSaver::saved, this, &CThumbListCtrl::onCacheSaved);
    icons_->setObjectName(QStringLiteral("thumbnailView"));
    details_->setObjectName(QStringLiteral("detailsView"));
    icons_->setModel(model_);
    details_->setModel(model_);
    details_->setSelectionModel(icons_->selectionModel());
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(icons_), static_cast<QAbstractItemView*>(details_)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
        connect(v, &QAbstractItemView::doubleClicked, this, [this] {
            pressedSelected_ = -1; // a double click opens, it never edits
            ++doubleClicks_;
            openSelected();
        });
        v->setDragEnabled(true);
        v->setAcceptDrops(true);
        v->viewport()->setAcceptDrops(true);
        v->setDragDropMode(QAbstractItemView::DragDrop);
        v->setDefaultDropAction(Qt::MoveAction);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& pos) {
            const QModelIndex hit = v->indexAt(pos);
            if (hit.isValid() && !v->selectionModel()->isSelected(hit))
                selectIndex(hit.row());
            emit contextMenuRequested(v->viewport()->mapToGlobal(pos), hit.isValid());
        });
        stack_->addWidget(v);
    }
    icons_->setViewMode(QListView::IconMode);
    icons_->setMovement(QListView::Static);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setUniformItemSizes(true);
    icons_->setWrapping(true);
    icons_->setItemDelegate(delegate_);
    icons_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A static icon view turns dragging and dropping off: thumbnails are
    // dragged out and take drops on folder items as the details rows do.
    icons_->setDragEnabled(true);
    icons_->viewport()->setAcceptDrops(true);
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setSortingEnabled(false);
    details_->header()->setSectionsClickable(true);
    details_->header()->setSortIndicatorShown(true);
    connect(details_->header(), &QHeaderView::sectionClicked, this, &CThumbListCtrl::headerClicked);
    connect(icons_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CThumbListCtrl::updateFirstVisible);
    connect(icons_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &CThumbListCtrl::releaseFarCells);
    connect(icons_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CThumbListCtrl::showItemStatus);
    connect(actions_, &ListFileActions::cutChanged, this,
            [this] { model_->setCutPaths(actions_->cutPaths()); });
    // A renamed item takes its place in the order again.
    // Queued: the rename is committed from inside the label editor, which
    // has to close before the rows move.
    connect(
        model_, &ThumbListModel::renamed, this, [this] { sortBy(sortColumn_, sortAscending_); },
        Qt::QueuedConnection);
    connect(model_, &ThumbListModel::renameFailed, this,
            [this](const QString& text) { actions_->ui().error(this, text); });

    const CUiSettings& s = uiSettingsOrDefaults();
    sortColumn_ = std::clamp(s.sortBy, 0, 3);
    sortAscending_ = s.sortAscend != 0;
    viewType_ = s.viewType == 1 ? 1 : 0;
    applyAppearance();
    stack_->setCurrentWidget(currentView());
    setFocusProxy(currentView());
}

CThumbListCtrl::~CThumbListCtrl() {
    // Whoever listened may be half gone already.
    blockSignals(true);
    endListers();
    stopLoader();
    // A pair still being written is given up: the folder keeps its old one.
    saver_->abandonAll();
    snapshotting_ = false;
    // The cache written from now on is of this format.
    if (SettingsStore* store = settingsStore())
        store->setInt(keys::kGeneral, keys::kCacheFileVersion, keys::kCurrentCacheFileVersion);
}

bool CThumbListCtrl::isSavingCache() const {
    return snapshotting_ || saver_->isBusy();
}

void CThumbListCtrl::applyAppearance() {
    const CUiSettings& s = uiSettingsOrDefaults();
    delegate_->setGeometry(s.thumbWidth, s.thumbHeight, s.itemHorzSpace, s.itemVertSpace);
    icons_->setGridSize(delegate_->gridSize());
    icons_->setSpacing(0);
    QPalette pal = icons_->palette();
    const QImage tile = ThumbCellArt::backgroundTile(s.backgroundDesign);
    pal.setBrush(QPalette::Base, tile.isNull() ? QBrush(Qt::white) : QBrush(tile));
    icons_->setPalette(pal);
    static const int widths[] = {200, 60, 50, 120};
    for (int c = 0; c < 4; ++c)
        details_->setColumnWidth(c, widths[c]);
    details_->header()->setSortIndicator(sortColumn_,
                                         sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QAbstractItemView* CThumbListCtrl::currentView() const {
    return viewType_ == 1 ? static_cast<QAbstractItemView*>(details_)
                          : static_cast<QAbstractItemView*>(icons_);
}

bool CThumbListCtrl::hasThumbnailFocus() const {
    const QWidget* f = QApplication::focusWidget();
    return f && (f == this || isAncestorOf(f));
}

QString CThumbListCtrl::folder() const {
    return model_->folder() ? model_->folder()->folder() : QString();
}

const CThumbData* CThumbListCtrl::recordAt(int index) const {
    return model_->record(index);
}

int CThumbListCtrl::itemCount() const {
    return model_->rowCount();
}

int CThumbListCtrl::pictureCount() const {
    return model_->folder() ? model_->folder()->pictureCount() : 0;
}

QString CThumbListCtrl::pathAt(int index) const {
    const CThumbData* d = recordAt(index);
    if (!d)
        return {};
    if (d->isParent())
        return QString::fromStdString(FolderEnumerator::parentOf(folder().toStdString()));
    return QString::fromStdString(d->fullPath);
}

CThumbListCtrl::Kind CThumbListCtrl::kindAt(int index) const {
    const CThumbData* d = recordAt(index);
    if (!d)
        return Kind::Other;
    if (d->isParent())
        return Kind::Parent;
    if (d->isFolder())
        return Kind::Folder;
    return model_->folder()->isPicture(index) ? Kind::Picture : Kind::Other;
}

bool CThumbListCtrl::isFolderAt(int index) const {
    const Kind k = kindAt(index);
    return k == Kind::Folder || k == Kind::Parent;
}

QList<int> CThumbListCtrl::selectedIndexes() const {
    // A click in the thumbnail view selects the name column only; the
    // details view selects whole rows.
    QList<int> rows;
    for (const QModelIndex& i : icons_->selectionModel()->selectedIndexes())
        rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int CThumbListCtrl::firstSelectedIndex() const {
    const QList<int> rows = selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first();
}

void CThumbListCtrl::clearSelection() {
    icons_->selectionModel()->clearSelection();
}

void CThumbListCtrl::selectIndex(int index) {
    if (index < 0 || index >= itemCount())
        return;
    const QModelIndex i = model_->index(index, 0);
    icons_->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    currentView()->scrollTo(i);
}

bool CThumbListCtrl::selectPath(const QString& path) {
    if (isListing()) {
        selectWhenListed_ = path;
        return true;
    }
    clearSelection();
    for (int i = 1; i < itemCount(); ++i)
        if (QString::fromStdString(recordAt(i)->fullPath) == path) {
            selectIndex(i);
            return true;
        }
    return false;
}

bool CThumbListCtrl::removePath(const QString& path) {
    for (int i = 0; i < itemCount(); ++i)
        if (QString::fromStdString(recordAt(i)->fullPath) == path) {
            model_->removeRow(i);
            return true;
        }
    return false;
}

void CThumbListCtrl::selectAllFiles() {
    QItemSelection all;
    for (int i = 0; i < itemCount(); ++i)
        if (!recordAt(i)->isFolder())
            all.select(model_->index(i, 0), model_->index(i, 3));
    icons_->selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
}

void CThumbListCtrl::invertFileSelection() {
    QItemSelection flip;
    for (int i = 0; i < itemCount(); ++i)
        if (!recordAt(i)->isFolder())
            flip.select(model_->index(i, 0), model_->index(i, 3));
    QItemSelectionModel* sel = icons_->selectionModel();
    // Folders never stay selected after an inversion.
    QItemSelection folders;
    for (int i = 0; i < itemCount(); ++i)
        if (recordAt(i)->isFolder())
            folders.select(model_->index(i, 0), model_->index(i, 3));
    sel->select(folders, QItemSelectionModel::Deselect);
    sel->select(flip, QItemSelectionModel::Toggle);
}

void CThumbListCtrl::setViewType(int type) {
    type = type == 1 ? 1 : 0;
    if (CUiSettings* s = uiSettings()) {
        s->viewType = type;
        if (SettingsStore* store = settingsStore())
            s->save(*store);
    }
    const bool had = hasThumbnailFocus();
    viewType_ = type;
    stack_->setCurrentWidget(currentView());
    setFocusProxy(currentView());
    if (had)
        currentView()->setFocus();
    // A details view never uses the cache; thumbnails may.
    if (!folder().isEmpty())
        loadFolder(folder(), Refresh::Quick);
}

void CThumbListCtrl::sortBy(int column, bool ascending) {
    sortColumn_ = std::clamp(column, 0, 3);
    sortAscending_ = ascending;
    if (CUiSettings* s = uiSettings()) {
        s->sortBy = sortColumn_;
        s->sortAscend = ascending ? 1 : 0;
    }
    details_->header()->setSortIndicator(sortColumn_,
                                         ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    // Compared as stored: a folder of a hundred thousand items is searched.
    const std::string current =
        firstSelectedIndex() >= 0 ? recordAt(firstSelectedIndex())->fullPath : std::string();
    const bool wasLoading = loader_ != nullptr;
    if (wasLoading) {
        // The loader works by row: let it go and start one on the new order.
        CChangeIconThread* loader = loader_;
        loader_ = nullptr;
        ++generation_;
        CChangeIconThread::stopAndRelease(loader, 3000);
    }
    model_->sortRecords(sortColumn_, sortAscending_);
    if (!current.empty()) {
        for (int i = 0; i < itemCount(); ++i)
            if (recordAt(i)->fullPath == current) {
                selectIndex(i);
                break;
            }
    }
    if (wasLoading)
        startLoader();
}

void CThumbListCtrl::applyRenames(const std::vector<std::pair<QString, QString>>& renamed) {
    bool any = false;
    for (const auto& [from, to] : renamed)
        any = model_->renameRecord(from, to) || any;
    if (any)
        sortBy(sortColumn_, sortAscending_);
}

void CThumbListCtrl::headerClicked(int column) {
    sortBy(column, column == sortColumn_ ? !sortAscending_ : sortAscending_);
}

void CThumbListCtrl::sortCommand(int column) {
    sortBy(column, column == sortColumn_ ? !sortAscending_ : true);
}

void CThumbListCtrl::openSelected() {
    const int i = firstSelectedIndex();
    if (i < 0)
        return;
    switch (kindAt(i)) {
    case Kind::Parent:
    case Kind::Folder:
        emit progressChanged(0);
        emit folderRequested(pathAt(i));
        break;
    case Kind::Picture:
        emit enterViewerRequested();
        break;
    case Kind::Other:
        QDesktopServices::openUrl(QUrl::fromLocalFile(pathAt(i)));
        break;
    }
}

bool CThumbListCtrl::renameSelected() {
    const int i = firstSelectedIndex();
    if (i < 0 || kindAt(i) == Kind::Parent)
        return false;
    const QModelIndex index = model_->index(i, 0);
    currentView()->setFocus();
    currentView()->setCurrentIndex(index);
    currentView()->edit(index);
    return true;
}

QString CThumbListCtrl::dropFolderAt(const QPoint& pos) const {
    const QModelIndex hit = currentView()->indexAt(pos);
    if (hit.isValid() && isFolderAt(hit.row()))
        return pathAt(hit.row());
    return folder();
}

bool CThumbListCtrl::handleDrag(QAbstractItemView* view, QEvent* event) {
    auto* drag = static_cast<QDropEvent*>(event);
    const FileClipboard::Content files = FileClipboard::read(drag->mimeData());
    if (files.paths.isEmpty() || folder().isEmpty()) {
        drag->ignore();
        return true;
    }
    const QString target = dropFolderAt(drag->position().toPoint());
    const bool control = drag->modifiers() & Qt::ControlModifier;
    const DropEffect effect =
        dropEffect(files.paths.first().toStdString(), target.toStdString(), control);
    // Nothing happens when the files are dropped on themselves.
    const bool ontoItself = files.paths.contains(target);
    if (effect == DropEffect::None || ontoItself) {
        drag->setDropAction(Qt::IgnoreAction);
        event->type() == QEvent::Drop ? drag->ignore() : drag->accept();
        return true;
    }
    drag->setDropAction(effect == DropEffect::Copy ? Qt::CopyAction : Qt::MoveAction);
    drag->accept();
    if (event->type() == QEvent::Drop) {
        (void)view;
        actions_->drop(files.paths, target, effect);
    }
    return true;
}

void CThumbListCtrl::showItemStatus() {
    const QModelIndex current = icons_->selectionModel()->currentIndex();
    const CThumbData* d = current.isValid() ? recordAt(current.row()) : nullptr;
    if (!d)
        return;
    QString info;
    if (!d->isFolder()) {
        const std::string path = d->fullPath;
        imaging::FileInfo fi;
        if (isPictureAt(current.row()) && imaging::PictureFile::readInfo(path, fi) >= 1)
            info = QString::fromUtf8(
                res::format(res::IDS_BROWSER_STATUS_PICTURE_INFO, fi.width, fi.height,
                            fi.bitsPerPixel, int(fi.sizeOnDisk / 1024), fi.compression.c_str()));
        else
            info =
                QString::fromUtf8(res::format(res::IDS_BROWSER_STATUS_FILE_SIZE,
                                              int(QFileInfo(pathAt(current.row())).size() / 1024)));
    }
    emit statusText(3, QString::fromStdString(d->displayName) + QStringLiteral("   ") + info);
    emit focusedItemChanged(d->isFolder() ? QString() : pathAt(current.row()));
}

bool CThumbListCtrl::eventFilter(QObject* watched, QEvent* event) {
    QAbstractItemView* view = currentView();
    // Keys a label editor lets through (it ignores Enter after committing
    // with it) belong to the edit, not to the list.
    const bool editing = QApplication::focusWidget() != view;
    if (watched == view && event->type() == QEvent::KeyPress && !editing) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            openSelected();
            return true;
        }
        if (key->key() == Qt::Key_Backspace) { // a label editor keeps its own keys
            emit parentRequested();
            return true;
        }
    }
    if (watched == view && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete) {
            actions_->deleteSelection(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    if (watched == view->viewport() &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop))
        return handleDrag(view, event);
    if (watched == view->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex hit = view->indexAt(mouse->position().toPoint());
        const QList<int> before = selectedIndexes();
        pressedSelected_ =
            hit.isValid() && before.size() == 1 && before.first() == hit.row() ? hit.row() : -1;
        if (mouse->button() == Qt::LeftButton && hit.isValid() &&
            (mouse->modifiers() & Qt::ShiftModifier) && anchor_ >= 0 && anchor_ < itemCount()) {
            // The range between the anchor and the clicked item, nothing else.
            const int from = std::min(anchor_, hit.row()), to = std::max(anchor_, hit.row());
            QItemSelection range(model_->index(from, 0), model_->index(to, 3));
            icons_->selectionModel()->select(range, QItemSelectionModel::ClearAndSelect);
            icons_->selectionModel()->setCurrentIndex(hit, QItemSelectionModel::NoUpdate);
            return true;
        }
    }
    if (watched == view->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex hit = view->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && !(mouse->modifiers() & Qt::ShiftModifier)) {
            anchor_ = hit.isValid() && selectedIndexes().size() == 1 ? hit.row() : -1;
            showItemStatus();
            // A click on the label of the item that was already selected
            // edits it, unless it turns into a double click.
            if (viewType_ == 0 && hit.isValid() && hit.row() == pressedSelected_ &&
                delegate_->labelIn(view->visualRect(hit)).contains(mouse->position().toPoint())) {
                const int row = hit.row(), serial = doubleClicks_;
                const QString listed = folder();
                QTimer::singleShot(QApplication::doubleClickInterval(), this, [=, this] {
                    if (serial == doubleClicks_ && listed == folder() &&
                        firstSelectedIndex() == row && selectedIndexes().size() == 1 &&
                        !QApplication::mouseButtons())
                        renameSelected();
                });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kamelo
