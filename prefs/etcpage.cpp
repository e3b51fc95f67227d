#include "etcpage.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "imaging/colour/displaycolour.h"
#include "prefs/core/prefsrules.h"
#include "resources/qtstrings.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace kamelo::prefs {

namespace {
const char* const kDisplayMode = "display mode";
const char* const kViewRepeat = "View Repeat";
} // namespace

CETCPage::CETCPage(CUiSettings& settings, SettingsStore& store, QWidget* parent)
    : PreferencePage(parent), settings_(settings), store_(store), mode_(new QComboBox(this)),
      swatch_(new QLabel(this)),
      colourButton_(new QPushButton(res::qtext(res::IDS_PREF_COLOUR_BUTTON), this)),
      stamp_(new QCheckBox(res::qtext(res::IDS_PREF_USE_STAMP), this)),
      paint_(new QCheckBox(res::qtext(res::IDS_PREF_PAINT_WHILE_LOADING), this)),
      repeat_(new QCheckBox(res::qtext(res::IDS_PREF_VIEW_REPEAT), this)),
      only_(new QCheckBox(res::qtext(res::IDS_PREF_ONLY_PICTURES), this)),
      management_(new QCheckBox(res::qtext(res::IDS_PREF_COLOUR_MANAGEMENT), this)),
      intent_(new QComboBox(this)) {
    setObjectName(QStringLiteral("CETCPage"));
    setWindowTitle(res::qtext(res::IDS_PREF_OTHER_PAGE));
    mode_->setObjectName(QStringLiteral("drawingMode"));
    colourButton_->setObjectName(QStringLiteral("colourButton"));
    swatch_->setObjectName(QStringLiteral("swatch"));
    for (int id : {res::IDS_QUALITY_NORMAL, res::IDS_QUALITY_RESAMPLE, res::IDS_QUALITY_BICUBIC})
        mode_->addItem(res::qtext(id));
    mode_->setCurrentIndex(qBound(0, store.getInt(keys::kGeneralLower, kDisplayMode, 0), 2));
    setColour(settings.viewerBackgroundColor);
    stamp_->setChecked(store.getInt(keys::kGeneralLower, keys::kUseStamp, keys::kUseStampDefault) !=
                       0);
    paint_->setChecked(settings.paintWhileLoading != 0);
    repeat_->setChecked(store.getInt(keys::kGeneralLower, kViewRepeat, 1) != 0);
    only_->setChecked(settings.onlyPictures != 0);
    management_->setObjectName(QStringLiteral("colourManagement"));
    intent_->setObjectName(QStringLiteral("renderingIntent"));
    // In the order of the stored numbers.
    intent_->addItem(res::qtext(res::IDS_PREF_INTENT_PERCEPTUAL));
    intent_->addItem(res::qtext(res::IDS_PREF_INTENT_RELATIVE));
    management_->setChecked(settings.colourManagement != 0);
    intent_->setCurrentIndex(settings.renderingIntent == 1 ? 1 : 0);
    intent_->setEnabled(management_->isChecked());
    connect(management_, &QCheckBox::toggled, intent_, &QWidget::setEnabled);
    swatch_->setFixedSize(40, 20);
    swatch_->setAutoFillBackground(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_DRAWING_MODE), this), 0, 0);
    grid->addWidget(mode_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_VIEWER_BACKGROUND), this), 1, 0);
    grid->addWidget(swatch_, 1, 1);
    grid->addWidget(colourButton_, 1, 2);
    grid->addWidget(stamp_, 2, 0, 1, 3);
    grid->addWidget(paint_, 3, 0, 1, 3);
    grid->addWidget(repeat_, 4, 0, 1, 3);
    grid->addWidget(only_, 5, 0, 1, 3);
    grid->addWidget(management_, 6, 0, 1, 3);
    auto* intentLabel = new QLabel(res::qtext(res::IDS_PREF_RENDERING_INTENT), this);
    intentLabel->setBuddy(intent_);
    grid->addWidget(intentLabel, 7, 0);
    grid->addWidget(intent_, 7, 1, 1, 2);
    grid->setRowStretch(8, 1);

    connect(colourButton_, &QPushButton::clicked, this, [this] {
        const QColor start(PrefsRules::red(colour_), PrefsRules::green(colour_),
                           PrefsRules::blue(colour_));
        const QColor chosen = QColorDialog::getColor(start, this);
        if (!chosen.isValid())
            return;
        const uint32_t before = colour_;
        setColour(PrefsRules::colorRef(chosen.red(), chosen.green(), chosen.blue()));
        if (colour_ != before)
            emit changed();
    });
}

void CETCPage::setColour(uint32_t bgr) {
    colour_ = bgr & 0xFFFFFF;
    QPalette pal = swatch_->palette();
    pal.setColor(QPalette::Window, QColor(PrefsRules::red(colour_), PrefsRules::green(colour_),
                                          PrefsRules::blue(colour_)));
    swatch_->setPalette(pal);
}

void CETCPage::ok() {
    store_.setInt(keys::kGeneralLower, kViewRepeat, repeat_->isChecked() ? 1 : 0);
    store_.setInt(keys::kGeneralLower, kDisplayMode, mode_->currentIndex());
    store_.setInt(keys::kGeneralLower, keys::kUseStamp, stamp_->isChecked() ? 1 : 0);
    settings_.onlyPictures = only_->isChecked() ? 1 : 0;
    settings_.paintWhileLoading = paint_->isChecked() ? 1 : 0;
    settings_.viewerBackgroundColor = colour_;
    settings_.colourManagement = management_->isChecked() ? 1 : 0;
    settings_.renderingIntent = intent_->currentIndex() == 1 ? 1 : 0;
    settings_.save(store_);
    // Whatever paints next, shows or thumbnails, uses the new choice.
    using imaging::colour::DisplayColour;
    DisplayColour::setEnabled(settings_.colourManagement != 0);
    DisplayColour::setIntent(settings_.renderingIntent == 1
                                 ? imaging::colour::Intent::RelativeColorimetric
                                 : imaging::colour::Intent::Perceptual);
}

} // namespace kamelo::prefs
