#include "panelparts.h"

#include "resources/qtstrings.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFileInfo>
#include <QPushButton>

namespace kamelo::edit {

void PanelParts::addOkCancel(QBoxLayout* layout, QWidget* owner, QPushButton** ok,
                             QPushButton** cancel) {
    auto* row = new QHBoxLayout;
    *ok = new QPushButton(res::qtext(res::IDS_OK), owner);
    (*ok)->setObjectName(QStringLiteral("okButton"));
    *cancel = new QPushButton(res::qtext(res::IDS_CANCEL), owner);
    (*cancel)->setObjectName(QStringLiteral("cancelButton"));
    row->addWidget(*ok);
    row->addWidget(*cancel);
    layout->addLayout(row);
}

QString PanelParts::folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

} // namespace kamelo::edit
