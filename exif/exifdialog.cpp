#include "exifdialog.h"

#include "exiflist.h"
#include "resources/qtstrings.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace kamelo {

CExifDlg::CExifDlg(const QString& path, QWidget* parent)
    : QDialog(parent), list_(new ExifList(this)) {
    setObjectName(QStringLiteral("CExifDlg"));
    setWindowTitle(res::qtext(res::IDS_EXIF_CAPTION));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    auto* ok = new QPushButton(res::qtext(res::IDS_OK), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    list_->showFile(path);
    resize(380, 520);
}

void CExifDlg::open(const QString& path, QWidget* parent) {
    CExifDlg dialog(path, parent);
    dialog.exec();
}

} // namespace kamelo
