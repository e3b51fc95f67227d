#include "browseview.h"

#include "browser/core/folderenumerator.h"
#include "browser/core/renamejournal.h"
#include "chrome/namemessagebox.h"
#include "resources/qtstrings.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>

namespace kamelo {

CBrowseView::CBrowseView(QWidget* parent)
    : QWidget(parent), address_(new QComboBox(this)), list_(new CThumbListCtrl(this)) {
    setObjectName(QStringLiteral("CBrowseView"));
    address_->setEditable(true);
    address_->setObjectName(QStringLiteral("addressBox"));
    address_->setInsertPolicy(QComboBox::NoInsert);
    setMinimumSize(0, 0);
    navigate_ = [this](const QString& f) { return loadFolder(f); };
    connect(address_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        const QString typed = QDir::fromNativeSeparators(address_->currentText().trimmed());
        if (!typed.isEmpty() && !navigate_(typed))
            address_->setEditText(QDir::toNativeSeparators(folder()));
    });
    connect(list_, &CThumbListCtrl::folderRequested, this,
            [this](const QString& f) { navigate_(f); });
    connect(list_, &CThumbListCtrl::parentRequested, this, [this] {
        const std::string parent = FolderEnumerator::parentOf(folder().toStdString());
        if (!parent.empty())
            navigate_(QString::fromStdString(parent));
    });
}

void CBrowseView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CBrowseView::layoutChildren() {
    // The list sits 5 pixels lower in thumbnail view than in details view.
    const int top = address_->sizeHint().height();
    address_->setGeometry(0, 0, width(), top);
    const int gap = list_->viewType() == 0 ? 5 : 0;
    list_->setGeometry(0, top + gap, width(), std::max(0, height() - top - gap));
}

void CBrowseView::focusAddress() {
    address_->setFocus();
    if (address_->lineEdit())
        address_->lineEdit()->selectAll();
}

bool CBrowseView::loadFolder(const QString& folder, CThumbListCtrl::Refresh refresh,
                             bool reportFailure) {
    // A batch rename a kill cut short is undone before the names are
    // listed, so the list never shows a half-renamed set.
    const std::string path = folder.toStdString();
    const std::string notice = RenameJournal::notice(path, RenameJournal::recover(path));
    if (!notice.empty())
        NameMessageBox::information(this, res::qtext(res::IDS_APP_TITLE),
                                    QString::fromStdString(notice));
    if (!list_->loadFolder(folder, refresh)) {
        if (reportFailure)
            QMessageBox::warning(this, res::qtext(res::IDS_APP_TITLE),
                                 res::qtext(res::IDS_MSG_FOLDER_OBJECT_FAILED));
        return false;
    }
    layoutChildren();
    address_->setEditText(QDir::toNativeSeparators(list_->folder()));
    emit folderShown(list_->folder());
    return true;
}

} // namespace kamelo
