#include "thumbnailpage.h"

#include "base/uisettings.h"
#include "browser/thumbcellart.h"
#include "browser/thumbrenderer.h"
#include "prefs/core/prefsrules.h"
#include "resources/qtstrings.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSlider>

namespace kamelo::prefs {

CThumbnailPage::CThumbnailPage(CUiSettings& settings, const QString& samplePath, QWidget* parent)
    : PreferencePage(parent), settings_(settings), samplePath_(samplePath),
      widthSlider_(new QSlider(Qt::Horizontal, this)),
      heightSlider_(new QSlider(Qt::Vertical, this)),
      borderSlider_(new QSlider(Qt::Vertical, this)), widthField_(new QLineEdit(this)),
      heightField_(new QLineEdit(this)), borderField_(new QLineEdit(this)),
      design_(new QComboBox(this)), background_(new QComboBox(this)), preview_(new QLabel(this)) {
    setObjectName(QStringLiteral("CThumbnailPage"));
    setWindowTitle(res::qtext(res::IDS_PREF_THUMB_PAGE));
    widthSlider_->setObjectName(QStringLiteral("widthSlider"));
    heightSlider_->setObjectName(QStringLiteral("heightSlider"));
    borderSlider_->setObjectName(QStringLiteral("borderSlider"));
    widthField_->setObjectName(QStringLiteral("widthField"));
    heightField_->setObjectName(QStringLiteral("heightField"));
    borderField_->setObjectName(QStringLiteral("borderField"));
    design_->setObjectName(QStringLiteral("designList"));
    background_->setObjectName(QStringLiteral("backgroundList"));
    preview_->setObjectName(QStringLiteral("preview"));
    for (int id :
         {res::IDS_PREF_DESIGN_BUTTON, res::IDS_PREF_DESIGN_WHITE, res::IDS_PREF_DESIGN_ROUND,
          res::IDS_PREF_DESIGN_GREEN, res::IDS_PREF_DESIGN_BLUE, res::IDS_PREF_DESIGN_LINES,
          res::IDS_PREF_DESIGN_DOTTED})
        design_->addItem(res::qtext(id));
    for (int id : {res::IDS_PREF_DESIGN_WHITE, res::IDS_ABOUT_CAPTION, res::IDS_PREF_BACK_DREAM,
                   res::IDS_PREF_BACK_CLOUD, res::IDS_PREF_BACK_DOT, res::IDS_PREF_BACK_STAR})
        background_->addItem(res::qtext(id));

    preview_->setMinimumSize(PrefsRules::kThumbMax + 20, PrefsRules::kThumbMax + 20);
    bind(widthSlider_, widthField_, PrefsRules::kThumbMin, PrefsRules::kThumbMax, false);
    bind(heightSlider_, heightField_, PrefsRules::kThumbMin, PrefsRules::kThumbMax, true);
    bind(borderSlider_, borderField_, PrefsRules::kBorderMin, PrefsRules::kBorderMax, true);
    // The settings into the controls.
    widthSlider_->setValue(settings.thumbWidth);
    heightSlider_->setValue(PrefsRules::heightPosition(settings.thumbHeight));
    borderSlider_->setValue(PrefsRules::borderPosition(settings.thumbBorder));
    design_->setCurrentIndex(qBound(0, settings.thumbDesign, design_->count() - 1));
    background_->setCurrentIndex(qBound(0, settings.backgroundDesign, background_->count() - 1));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_THUMB_WIDTH), this), 0, 0);
    grid->addWidget(widthSlider_, 0, 1);
    grid->addWidget(widthField_, 0, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_THUMB_HEIGHT), this), 1, 0);
    grid->addWidget(heightSlider_, 1, 1);
    grid->addWidget(heightField_, 1, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_BORDER), this), 2, 0);
    grid->addWidget(borderSlider_, 2, 1);
    grid->addWidget(borderField_, 2, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_DESIGN_SMALL), this), 3, 0);
    grid->addWidget(design_, 3, 1, 1, 2);
    grid->addWidget(new QLabel(res::qtext(res::IDS_PREF_BACKGROUND), this), 4, 0);
    grid->addWidget(background_, 4, 1, 1, 2);
    grid->addWidget(preview_, 0, 3, 5, 1);
    preview_->setAlignment(Qt::AlignCenter);

    connect(design_, &QComboBox::currentIndexChanged, this, &CThumbnailPage::redrawPreview);
    connect(background_, &QComboBox::currentIndexChanged, this, &CThumbnailPage::redrawPreview);
    redrawPreview();
}

void CThumbnailPage::bind(QSlider* slider, QLineEdit* field, int min, int max, bool inverted) {
    slider->setRange(min, max);
    slider->setFocusPolicy(Qt::StrongFocus);
    // Position = far end minus value: the largest value at the top.
    slider->setInvertedAppearance(inverted);
    slider->setInvertedControls(inverted);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), field));
    field->setMaxLength(3);
    auto valueOf = [inverted, min, max](int position) {
        return inverted ? min + max - position : position;
    };
    connect(slider, &QSlider::valueChanged, this, [this, field, valueOf](int position) {
        const QString text = QString::number(valueOf(position));
        if (field->text() != text)
            field->setText(text);
        redrawPreview();
    });
    // Typing moves the slider once the number is in range; leaving the field
    // clamps it to the range.
    connect(field, &QLineEdit::textEdited, this, [slider, min, max, inverted](const QString& text) {
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && v >= min && v <= max)
            slider->setValue(inverted ? min + max - v : v);
    });
    connect(field, &QLineEdit::editingFinished, this, [slider, field, min, max, inverted, valueOf] {
        const int v =
            PrefsRules::clampField(field->text().toStdString(), min, max, valueOf(slider->value()));
        slider->setValue(inverted ? min + max - v : v);
        field->setText(QString::number(v));
    });
    field->setText(QString::number(valueOf(slider->value())));
}

int CThumbnailPage::thumbWidth() const {
    return widthSlider_->value();
}
int CThumbnailPage::thumbHeight() const {
    return PrefsRules::heightFromPosition(heightSlider_->value());
}
int CThumbnailPage::thumbBorder() const {
    return PrefsRules::borderFromPosition(borderSlider_->value());
}

void CThumbnailPage::redrawPreview() {
    const int w = thumbWidth(), h = thumbHeight(), border = thumbBorder();
    ThumbRecipe recipe;
    recipe.width = w;
    recipe.height = h;
    recipe.border = qMin(border, qMin(w, h) / 2 - 1);
    recipe.cellTemplate = ThumbCellArt::cellTemplate(design_->currentIndex(), w, h);
    const ThumbResult result = ThumbRenderer::render(samplePath_.toStdString(), recipe);
    QImage cell = result.decoded ? result.cell : recipe.cellTemplate;
    QPixmap canvas(preview_->minimumSize());
    const QImage tile = ThumbCellArt::backgroundTile(background_->currentIndex());
    QPainter p(&canvas);
    if (tile.isNull())
        p.fillRect(canvas.rect(), Qt::white);
    else
        p.fillRect(canvas.rect(), QBrush(tile));
    const QPoint at((canvas.width() - cell.width()) / 2, (canvas.height() - cell.height()) / 2);
    p.drawImage(at, cell);
    QFont font(res::qtext(res::IDS_FONT_GULIM));
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRect(at.x(), at.y() + cell.height() - 15 - border, cell.width(), 15),
               Qt::AlignCenter, QStringLiteral("SAMPLE.JPG"));
    p.end();
    preview_->setPixmap(canvas);
}

void CThumbnailPage::ok() {
    settings_.thumbWidth = thumbWidth();
    settings_.thumbHeight = thumbHeight();
    settings_.thumbBorder = thumbBorder();
    settings_.thumbDesign = design_->currentIndex();
    settings_.backgroundDesign = background_->currentIndex();
}

} // namespace kamelo::prefs
