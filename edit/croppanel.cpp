#include "croppanel.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "edit/core/cropproportion.h"
#include "imaging/geometryops.h"
#include "panelparts.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace kamelo::edit {

namespace {
constexpr int kLargestSide = 1 << 20;
}

CropPanel::CropPanel(const EditContext& context, QWidget* parent)
    : EditToolPanel(context, parent), view_(context.view) {
    setObjectName(QStringLiteral("CropPanel"));
    SettingsStore* store = context_.store;
    const auto read = [store](const char* key) {
        return store ? store->getInt(keys::kGeneral, key, 0) : 0;
    };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    help_ = new QLabel(res::qtext(res::IDS_ONE_PICTURE_SELECTED), this);
    help_->setObjectName(QStringLiteral("help"));
    help_->setWordWrap(true);
    layout->addWidget(help_);
    hold_ = new QCheckBox(res::qtext(res::IDS_CROP_KEEP_RATIO), this);
    hold_->setObjectName(QStringLiteral("hold"));
    hold_->setChecked(read(kHoldKey) != 0);
    layout->addWidget(hold_);
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("proportion"));
    list_->addItem(res::qtext(res::IDS_CROP_ORIGINAL_RATIO));
    for (int i = 1; i < CropProportion::kCount; ++i)
        list_->addItem(QString::fromStdString(CropProportion::fixedText(i)));
    const int selected = read(kSelectKey);
    list_->setCurrentIndex(selected >= 0 && selected < CropProportion::kCount ? selected : 0);
    layout->addWidget(list_);
    swap_ = new QCheckBox(res::qtext(res::IDS_CROP_SWAP_RATIO), this);
    swap_->setObjectName(QStringLiteral("swap"));
    swap_->setChecked(read(kSwapKey) != 0);
    layout->addWidget(swap_);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(res::qtext(res::IDS_CROP_WIDTH), this), 0, 0);
    grid->addWidget(new QLabel(res::qtext(res::IDS_CROP_HEIGHT), this), 1, 0);
    width_ = new QSpinBox(this);
    width_->setObjectName(QStringLiteral("width"));
    height_ = new QSpinBox(this);
    height_->setObjectName(QStringLiteral("height"));
    for (QSpinBox* s : {width_, height_}) {
        s->setRange(0, kLargestSide);
        // Read when the typing ends (Enter, leaving the field) or a step.
        s->setKeyboardTracking(false);
        connect(s, &QSpinBox::valueChanged, this, [this, s] { sizeTyped(s == width_); });
    }
    grid->addWidget(width_, 0, 1);
    grid->addWidget(height_, 1, 1);
    layout->addLayout(grid);
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    PanelParts::addOkCancel(layout, this, &okButton, &cancelButton);
    layout->addStretch(1);
    connect(okButton, &QPushButton::clicked, this, &CropPanel::ok);
    connect(cancelButton, &QPushButton::clicked, this, &CropPanel::cancel);
    connect(list_, &QComboBox::currentIndexChanged, this, &CropPanel::passProportion);
    connect(hold_, &QCheckBox::toggled, this, &CropPanel::passProportion);
    connect(swap_, &QCheckBox::toggled, this, &CropPanel::passProportion);
    if (view_) {
        view_->setSelectionActive(true);
        // Drawn, dragged or moved: the view's rectangle is the selection again.
        connect(view_, &CShowView::selectionChanged, this, [this](int width, int height) {
            typed_ = false;
            showSize(width, height);
        });
    }
    passProportion();
}

CropPanel::~CropPanel() {
    if (view_)
        view_->setSelectionActive(false);
}

void CropPanel::passProportion() {
    if (!view_)
        return;
    const imaging::Bitmap& p = context_.doc->displayed();
    const auto [x, y] = CropProportion::ratio(list_->currentIndex(), p.width(), p.height());
    view_->setProportion(hold_->isChecked(), x, y, swap_->isChecked());
}

void CropPanel::sizeTyped(bool widthTyped) {
    if (!view_)
        return;
    const imaging::Bitmap& p = context_.doc->displayed();
    // The selection keeps its top-left corner, on the picture.
    const SelectionRect before = view_->selectionInPicture();
    const int left = std::clamp(before.left, 0, p.width());
    const int top = std::clamp(before.top, 0, p.height());
    int width = width_->value(), height = height_->value();
    if (hold_->isChecked()) {
        // The proportion holds for the typed and the limited size alike.
        const auto [x, y] =
            CropProportion::ratio(list_->currentIndex(), p.width(), p.height(), swap_->isChecked());
        std::tie(width, height) = CropProportion::fit(width, height, widthTyped, x, y,
                                                      p.width() - left, p.height() - top);
    }
    const QSize s = view_->setSelectionSize(width, height);
    typedRect_ = {left, top, left + s.width(), top + s.height()};
    typedSeen_ = view_->selectionInPicture();
    typed_ = true;
    showSize(s.width(), s.height());
}

SelectionRect CropPanel::cropRect() const {
    const SelectionRect r = view_->selectionInPicture();
    return typed_ && r == typedSeen_ ? typedRect_ : r;
}

void CropPanel::showSize(int width, int height) {
    const QSignalBlocker a(width_);
    const QSignalBlocker b(height_);
    width_->setValue(width);
    height_->setValue(height);
}

void CropPanel::enterPressed() {
    ok();
}

void CropPanel::viewDoubleClicked() {
    ok();
}

bool CropPanel::ok() {
    if (!view_)
        return false;
    const SelectionRect r = cropRect();
    imaging::Bitmap& picture = context_.doc->displayed();
    if (r.empty() || !picture.isAllocated()) {
        help_->setText(res::qtext(res::IDS_CROP_NO_SELECTION));
        return false;
    }
    if (SettingsStore* store = context_.store) {
        store->setInt(keys::kGeneral, kHoldKey, hold_->isChecked() ? 1 : 0);
        store->setInt(keys::kGeneral, kSwapKey, swap_->isChecked() ? 1 : 0);
        store->setInt(keys::kGeneral, kSelectKey, list_->currentIndex());
    }
    if (imaging::GeometryOps::trim(picture, {r.left, r.top, r.width(), r.height()}) < 1) {
        help_->setText(res::qtext(res::IDS_CROP_NO_SELECTION));
        return false;
    }
    view_->setSelectionActive(false);
    view_->setModified(true);
    view_->pictureEdited(true);
    emit finished();
    return true;
}

} // namespace kamelo::edit
