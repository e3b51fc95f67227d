#include "thumblistctrl.h"

#include <QFileInfo>
#include <QKeyEvent>

namespace kamelo {

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
} // namespace

CThumbListCtrl::CThumbListCtrl(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("CThumbListCtrl"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit enterViewerRequested(); });
}

void CThumbListCtrl::setEntries(const QList<Entry>& entries) {
    clear();
    for (const Entry& e : entries) {
        auto* item = new QListWidgetItem(
            e.kind == Kind::Parent ? QStringLiteral("..") : QFileInfo(e.path).fileName(), this);
        item->setData(kPathRole, e.path);
        item->setData(kKindRole, static_cast<int>(e.kind));
    }
}

QString CThumbListCtrl::pathAt(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->data(kPathRole).toString() : QString();
}

CThumbListCtrl::Kind CThumbListCtrl::kindAt(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? static_cast<Kind>(it->data(kKindRole).toInt()) : Kind::Other;
}

bool CThumbListCtrl::isFolderAt(int index) const {
    const Kind k = kindAt(index);
    return k == Kind::Folder || k == Kind::Parent;
}

int CThumbListCtrl::firstSelectedIndex() const {
    int first = -1;
    for (const QListWidgetItem* it : selectedItems()) {
        const int r = row(it);
        if (first < 0 || r < first)
            first = r;
    }
    return first;
}

bool CThumbListCtrl::selectPath(const QString& path) {
    for (int i = 0; i < count(); ++i)
        if (pathAt(i) == path) {
            clearSelection();
            setCurrentRow(i);
            item(i)->setSelected(true);
            scrollToItem(item(i));
            return true;
        }
    return false;
}

void CThumbListCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit enterViewerRequested();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace kamelo
