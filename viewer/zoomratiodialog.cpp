#include "zoomratiodialog.h"

#include "resources/qtstrings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace kamelo {

ZoomRatioDialog::ZoomRatioDialog(int percent, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit(QString::number(percent), this)) {
    setWindowTitle(res::qtext(res::IDS_ZOOM_RATIO_CAPTION));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(res::qtext(res::IDS_ZOOM_RATIO_PROMPT), this));
    auto* row = new QHBoxLayout;
    row->addWidget(edit_);
    row->addWidget(new QLabel(QStringLiteral("%"), this));
    layout->addLayout(row);
    layout->addWidget(new QLabel(res::qtext(res::IDS_ZOOM_RATIO_RANGE), this));
    edit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), edit_));
    edit_->selectAll();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(res::qtext(res::IDS_OK));
    buttons->button(QDialogButtonBox::Cancel)->setText(res::qtext(res::IDS_CANCEL));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int ZoomRatioDialog::percent() const {
    bool ok = false;
    const int v = edit_->text().toInt(&ok);
    return ok ? v : 0;
}

} // namespace kamelo
