#include "saveasjpegpanel.h"

#include "imaging/result.h"
#include "resources/qtstrings.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QValidator>

namespace kamelo::edit {

namespace {

// Digits only (a paste with anything else is refused whole); a number above
// the highest quality becomes that quality, however many digits it has.
class QualityValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        if (input.isEmpty())
            return Intermediate;
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        bool ok = false;
        const int value = input.size() <= 3 ? input.toInt(&ok) : 0;
        if (!ok || value > SaveAsJpegPanel::kMaxQuality) {
            input = QString::number(SaveAsJpegPanel::kMaxQuality);
            pos = int(input.size());
        }
        return Acceptable;
    }
};

int kilobytes(int64_t bytes) {
    return static_cast<int>(bytes / 1024);
}

} // namespace

SaveAsJpegPanel::SaveAsJpegPanel(QWidget* parent)
    : QGroupBox(res::qtext(res::IDS_JPEG_OPTIONS_CAPTION), parent),
      slider_(new QSlider(Qt::Horizontal, this)), edit_(new QLineEdit(this)),
      original_(new QLabel(this)), estimate_(new QLabel(this)) {
    setObjectName(QStringLiteral("jpegPanel"));
    slider_->setObjectName(QStringLiteral("qualitySlider"));
    slider_->setRange(0, kMaxQuality);
    slider_->setSingleStep(1);
    slider_->setPageStep(10);
    slider_->setValue(kInitialQuality);
    edit_->setObjectName(QStringLiteral("qualityEdit"));
    edit_->setValidator(new QualityValidator(edit_));
    edit_->setText(QString::number(kInitialQuality));
    edit_->setMaximumWidth(edit_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    edit_->installEventFilter(this);
    original_->setObjectName(QStringLiteral("originalSize"));
    estimate_->setObjectName(QStringLiteral("estimatedSize"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("0"), this), 0, 0);
    grid->addWidget(slider_, 0, 1);
    grid->addWidget(new QLabel(QString::number(kMaxQuality), this), 0, 2);
    grid->addWidget(edit_, 0, 3);
    grid->addWidget(original_, 1, 0, 1, 4);
    grid->addWidget(estimate_, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    connect(slider_, &QSlider::valueChanged, this, &SaveAsJpegPanel::sliderMoved);
    // The end of a drag; a step by key or click ends at once (sliderMoved).
    connect(slider_, &QSlider::sliderReleased, this, &SaveAsJpegPanel::estimate);
    connect(edit_, &QLineEdit::textEdited, this, &SaveAsJpegPanel::textEdited);
    setOriginalSize(-1);
}

void SaveAsJpegPanel::setOriginalSize(int64_t bytes) {
    if (bytes < 0) {
        original_->hide();
        return;
    }
    original_->setText(QString::fromUtf8(res::format(res::IDS_ORIGINAL_SIZE_KB, kilobytes(bytes))));
    original_->show();
}

int SaveAsJpegPanel::quality() const {
    return slider_->value();
}

void SaveAsJpegPanel::estimate() {
    if (!estimator_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    estimated_ = estimator_(quality());
    QApplication::restoreOverrideCursor();
    if (estimated_ < 1)
        estimate_->setText(
            QString::fromUtf8(imaging::resultText(static_cast<int>(estimated_)).c_str()));
    else
        estimate_->setText(
            QString::fromUtf8(res::format(res::IDS_ESTIMATED_SIZE_KB, kilobytes(estimated_))));
}

void SaveAsJpegPanel::sliderMoved(int value) {
    if (followingEdit_)
        return;
    edit_->setText(QString::number(value));
    // While the thumb is held only the digits follow it.
    if (!slider_->isSliderDown())
        estimate();
}

void SaveAsJpegPanel::textEdited(const QString& text) {
    if (text.isEmpty())
        return;
    followingEdit_ = true;
    slider_->setValue(text.toInt());
    followingEdit_ = false;
}

bool SaveAsJpegPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::FocusOut) {
        // Not when another window or a menu merely takes the keyboard for
        // a while (the dialog closing, a message, the type list's popup).
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return QGroupBox::eventFilter(watched, event);
        // An emptied edit shows the slider's value again.
        if (edit_->text().isEmpty())
            edit_->setText(QString::number(quality()));
        estimate();
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace kamelo::edit
