#include "acquireclashdialog.h"

#include "previewloader.h"
#include "resources/qtstrings.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kamelo::acquire {

namespace {
const QSize kBox(160, 120);
}

CAcquireClashDialog::CAcquireClashDialog(const QString& existing, const QString& source,
                                         QWidget* parent)
    : QDialog(parent), choices_(new QButtonGroup(this)), oldPreview_(new QLabel(this)),
      newPreview_(new QLabel(this)), loader_(new PreviewLoader(kBox, this)) {
    setWindowTitle(res::qtext(res::IDS_ACQUIRE_CLASH_CAPTION));
    auto* text = new QLabel(
        QString::fromStdString(res::format(res::IDS_ACQUIRE_CLASH_TEXT,
                                           QFileInfo(existing).fileName().toUtf8().constData())),
        this);
    text->setWordWrap(true);
    auto* pictures = new QGridLayout;
    pictures->addWidget(new QLabel(res::qtext(res::IDS_ACQUIRE_EXISTING_FILE), this), 0, 0);
    pictures->addWidget(new QLabel(res::qtext(res::IDS_ACQUIRE_NEW_FILE), this), 0, 1);
    for (QLabel* l : {oldPreview_, newPreview_}) {
        l->setFixedSize(kBox);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::StyledPanel);
    }
    pictures->addWidget(oldPreview_, 1, 0);
    pictures->addWidget(newPreview_, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(pictures);
    const int texts[] = {res::IDS_ACQUIRE_CLASH_RENAME, res::IDS_ACQUIRE_CLASH_SKIP_ALL,
                         res::IDS_ACQUIRE_CLASH_OVERWRITE, res::IDS_ACQUIRE_CLASH_STOP};
    for (int id = 0; id < 4; ++id) {
        auto* radio = new QRadioButton(res::qtext(texts[id]), this);
        choices_->addButton(radio, id);
        layout->addWidget(radio);
    }
    choices_->button(int(ClashChoice::Rename))->setChecked(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(res::qtext(res::IDS_OK));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    // The previews come from two requests of their own loaders' queue.
    auto* second = new PreviewLoader(kBox, this);
    auto show = [](QLabel* label) {
        return [label](const QString&, const QImage& image) {
            if (!image.isNull())
                label->setPixmap(QPixmap::fromImage(image));
        };
    };
    connect(loader_, &PreviewLoader::ready, this, show(oldPreview_));
    connect(second, &PreviewLoader::ready, this, show(newPreview_));
    loader_->request(existing);
    second->request(source);
    choices_->checkedButton()->setFocus();
}

ClashChoice CAcquireClashDialog::choice() const {
    if (result() != QDialog::Accepted)
        return ClashChoice::Stop;
    return ClashChoice(std::clamp(choices_->checkedId(), 0, 3));
}

} // namespace kamelo::acquire
