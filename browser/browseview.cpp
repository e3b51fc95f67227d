#include "browseview.h"

#include "thumblistctrl.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kamelo {

CBrowseView::CBrowseView(QWidget* parent)
    : QWidget(parent), address_(new QComboBox(this)), list_(new CThumbListCtrl(this)) {
    setObjectName(QStringLiteral("CBrowseView"));
    address_->setEditable(true);
    address_->setObjectName(QStringLiteral("addressBox"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(address_);
    layout->addWidget(list_, 1);
    setMinimumSize(0, 0);
}

void CBrowseView::focusAddress() {
    address_->setFocus();
    if (address_->lineEdit())
        address_->lineEdit()->selectAll();
}

} // namespace kamelo
