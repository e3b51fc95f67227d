#include "convertformatdialog.h"

#include "resources/qtstrings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kamelo::edit {

ConvertFormatDialog::ConvertFormatDialog(const ConvertSettings& initial, QWidget* parent)
    : QDialog(parent), format_(new QComboBox(this)), slider_(new QSlider(Qt::Horizontal, this)),
      qualityName_(new QLabel(this)) {
    setWindowTitle(res::qtext(res::IDS_CONVERT_DIALOG_CAPTION));
    setObjectName(QStringLiteral("convertFormat"));
    format_->setObjectName(QStringLiteral("format"));
    for (const ConversionFormat& f : kConversionFormats)
        format_->addItem(QString::fromLatin1(f.name));
    slider_->setObjectName(QStringLiteral("quality"));
    slider_->setRange(0, JpegQualityScale::kPositions - 1);
    slider_->setTickInterval(1);
    slider_->setTickPosition(QSlider::TicksBelow);
    slider_->setPageStep(1);
    qualityName_->setObjectName(QStringLiteral("qualityName"));
    qualityName_->setAlignment(Qt::AlignHCenter);

    auto* formatRow = new QFormLayout;
    auto* formatLabel = new QLabel(res::qtext(res::IDS_CONVERT_TARGET_FORMAT), this);
    formatLabel->setBuddy(format_);
    formatRow->addRow(formatLabel, format_);
    auto* group = new QGroupBox(res::qtext(res::IDS_CONVERT_JPEG_QUALITY), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(slider_);
    groupLayout->addWidget(qualityName_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(res::qtext(res::IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(res::qtext(res::IDS_CANCEL), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(formatRow);
    layout->addWidget(group);
    layout->addWidget(buttons);

    format_->setCurrentIndex(initial.formatIndex);
    slider_->setValue(JpegQualityScale::clampPosition(initial.sliderPosition));
    updateQualityLabel(slider_->value());
    updateQualityEnabled();
    // The name follows the thumb while it is dragged, not only at the end.
    connect(slider_, &QSlider::valueChanged, this, &ConvertFormatDialog::updateQualityLabel);
    connect(slider_, &QSlider::sliderMoved, this, &ConvertFormatDialog::updateQualityLabel);
    connect(format_, &QComboBox::currentIndexChanged, this,
            &ConvertFormatDialog::updateQualityEnabled);
    format_->setFocus();
}

ConvertSettings ConvertFormatDialog::settings() const {
    ConvertSettings s;
    s.formatIndex = format_->currentIndex();
    s.sliderPosition = slider_->value();
    return s;
}

void ConvertFormatDialog::updateQualityEnabled() {
    const bool jpeg = kConversionFormats[size_t(std::max(0, format_->currentIndex()))].usesQuality;
    slider_->setEnabled(jpeg);
    qualityName_->setEnabled(jpeg);
}

void ConvertFormatDialog::updateQualityLabel(int position) {
    qualityName_->setText(res::qtext(JpegQualityScale::labelIdAt(position)));
}

} // namespace kamelo::edit
