#include "sharpnesspanel.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "edit/core/sharpnessrules.h"
#include "imaging/sharpenops.h"
#include "panelparts.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

namespace kamelo::edit {

namespace {
constexpr int kDefaults[3] = {200, 1, 10};
const char* const kKeys[3] = {SharpnessPanel::kAmountKey, SharpnessPanel::kRadiusKey,
                              SharpnessPanel::kThresholdKey};
} // namespace

SharpnessPanel::SharpnessPanel(const EditContext& context, QWidget* parent)
    : EditToolPanel(context, parent), copy_(context.doc->displayed()) {
    setObjectName(QStringLiteral("SharpnessPanel"));
    SettingsStore* store = context_.store;
    const auto read = [store](const char* key, int def) {
        return store ? store->getInt(keys::kGeneralLower, key, def) : def;
    };
    savedChoice_ = std::clamp(read(kChoiceKey, 0), 0, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    choices_ = new QButtonGroup(this);
    const int texts[3] = {res::IDS_SHARPEN_SHARPEN, res::IDS_SHARPEN_BLUR,
                          res::IDS_SHARPEN_UNSHARP};
    const char* names[3] = {"choiceSharpen", "choiceBlur", "choiceUnsharp"};
    QRadioButton* radios[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = new QRadioButton(res::qtext(texts[i]), this);
        radios[i]->setObjectName(QLatin1String(names[i]));
        choices_->addButton(radios[i], i);
    }

    layout->addWidget(radios[0]);
    auto* sharpenRow = new QHBoxLayout;
    sharpenSlider_ = new QSlider(Qt::Horizontal, this);
    sharpenSlider_->setObjectName(QStringLiteral("sharpenSlider"));
    sharpenSlider_->setRange(0, SharpnessRules::kSliderMax);
    sharpenSlider_->setPageStep(1);
    sharpenLabel_ = new QLabel(QStringLiteral("0"), this);
    sharpenLabel_->setObjectName(QStringLiteral("sharpenValue"));
    sharpenRow->addWidget(sharpenSlider_, 1);
    sharpenRow->addWidget(sharpenLabel_);
    layout->addLayout(sharpenRow);

    layout->addWidget(radios[1]);
    auto* blurRow = new QHBoxLayout;
    blurSlider_ = new QSlider(Qt::Horizontal, this);
    blurSlider_->setObjectName(QStringLiteral("blurSlider"));
    blurSlider_->setRange(0, SharpnessRules::kBlurMax);
    blurLabel_ = new QLabel(QStringLiteral("0"), this);
    blurLabel_->setObjectName(QStringLiteral("blurValue"));
    blurRow->addWidget(blurSlider_, 1);
    blurRow->addWidget(blurLabel_);
    layout->addLayout(blurRow);

    layout->addWidget(radios[2]);
    auto* grid = new QGridLayout;
    const int labels[3] = {res::IDS_SHARPEN_AMOUNT, res::IDS_SHARPEN_RADIUS,
                           res::IDS_SHARPEN_THRESHOLD};
    const char* numberNames[3] = {"amount", "radius", "threshold"};
    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(res::qtext(labels[i]), this), i, 0);
        numbers_[i] = new QLineEdit(this);
        numbers_[i]->setObjectName(QLatin1String(numberNames[i]));
        numbers_[i]->setValidator(digits);
        numbers_[i]->setText(QString::number(read(kKeys[i], kDefaults[i])));
        grid->addWidget(numbers_[i], i, 1);
        connect(numbers_[i], &QLineEdit::textEdited, this, [this] { changed_ = true; });
        connect(numbers_[i], &QLineEdit::returnPressed, this, &SharpnessPanel::unsharp);
    }
    apply_ = new QPushButton(res::qtext(res::IDS_APPLY), this);
    apply_->setObjectName(QStringLiteral("apply"));
    grid->addWidget(apply_, 3, 1);
    layout->addLayout(grid);
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    PanelParts::addOkCancel(layout, this, &okButton, &cancelButton);
    layout->addStretch(1);

    connect(apply_, &QPushButton::clicked, this, &SharpnessPanel::unsharp);
    connect(okButton, &QPushButton::clicked, this, &SharpnessPanel::ok);
    connect(cancelButton, &QPushButton::clicked, this, &SharpnessPanel::cancel);
    connect(sharpenSlider_, &QSlider::valueChanged, this, [this](int v) {
        sharpenLabel_->setText(QString::number(SharpnessRules::sharpenStrength(v)));
        if (!sharpenSlider_->isSliderDown())
            sharpen();
    });
    connect(sharpenSlider_, &QSlider::sliderReleased, this, &SharpnessPanel::sharpen);
    connect(blurSlider_, &QSlider::valueChanged, this, [this](int v) {
        blurLabel_->setText(QString::number(v));
        if (!blurSlider_->isSliderDown())
            blur();
    });
    connect(blurSlider_, &QSlider::sliderReleased, this, &SharpnessPanel::blur);

    radios[savedChoice_]->setChecked(true);
    enableFor(savedChoice_);
    connect(choices_, &QButtonGroup::idClicked, this, &SharpnessPanel::choose);
}

void SharpnessPanel::enableFor(int choice) {
    sharpenSlider_->setEnabled(choice == 0);
    sharpenLabel_->setEnabled(choice == 0);
    blurSlider_->setEnabled(choice == 1);
    blurLabel_->setEnabled(choice == 1);
    for (QLineEdit* e : numbers_)
        e->setEnabled(choice == 2);
    apply_->setEnabled(choice == 2);
}

void SharpnessPanel::choose(int choice) {
    enableFor(choice);
    if (choice == 0)
        sharpen();
    else if (choice == 1)
        blur();
    else {
        WaitCursor wait;
        restore();
        shown();
    }
}

void SharpnessPanel::restore() {
    context_.doc->displayed() = copy_;
}

void SharpnessPanel::shown() {
    applied_ = true;
    emit previewChanged();
}

void SharpnessPanel::sharpen() {
    WaitCursor wait;
    restore();
    imaging::SharpenOps::sharpen(context_.doc->displayed(),
                                 SharpnessRules::sharpenStrength(sharpenSlider_->value()));
    shown();
}

void SharpnessPanel::blur() {
    WaitCursor wait;
    restore();
    imaging::SharpenOps::gaussianBlur(context_.doc->displayed(), blurSlider_->value());
    shown();
}

void SharpnessPanel::unsharp() {
    if (choices_->checkedId() != 2)
        return;
    // Digits only, but as many as the user likes: held to what the filter takes.
    const int amount =
        SharpnessRules::clampAmount(SharpnessRules::parseDigits(numbers_[0]->text().toStdString()));
    const int radius =
        SharpnessRules::clampRadius(SharpnessRules::parseDigits(numbers_[1]->text().toStdString()));
    const int threshold = SharpnessRules::clampThreshold(
        SharpnessRules::parseDigits(numbers_[2]->text().toStdString()));
    numbers_[0]->setText(QString::number(amount));
    numbers_[1]->setText(QString::number(radius));
    numbers_[2]->setText(QString::number(threshold));
    WaitCursor wait;
    restore();
    imaging::SharpenOps::unsharpMask(context_.doc->displayed(), amount, radius, threshold);
    changed_ = false;
    shown();
}

void SharpnessPanel::enterPressed() {
    ok();
}

void SharpnessPanel::ok() {
    const int choice = std::max(0, choices_->checkedId());
    if (choice == 2 && (changed_ || (savedChoice_ == 2 && !applied_)))
        unsharp();
    if (SettingsStore* store = context_.store) {
        store->setInt(keys::kGeneralLower, kChoiceKey, choice);
        for (int i = 0; i < 3; ++i) {
            const long long v = SharpnessRules::parseDigits(numbers_[i]->text().toStdString());
            store->setInt(keys::kGeneralLower, kKeys[i],
                          i == 0   ? SharpnessRules::clampAmount(v)
                          : i == 1 ? SharpnessRules::clampRadius(v)
                                   : SharpnessRules::clampThreshold(v));
        }
    }
    emit finished();
}

} // namespace kamelo::edit
