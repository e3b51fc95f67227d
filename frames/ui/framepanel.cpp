#include "framepanel.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "edit/batchhandover.h"
#include "edit/panelparts.h"
#include "edit/saveasdialog.h"
#include "frames/fontfallback.h"
#include "frames/framebatch.h"
#include "frames/framecomposer.h"
#include "frames/overlays.h"
#include "framesettings.h"
#include "imaging/fileinfo.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "myfontdialog.h"
#include "offsetspin.h"
#include "resources/qtstrings.h"
#include "resources/stringtable.h"
#include "viewer/eyedoc.h"
#include "viewer/showview.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace kamelo::frames {

namespace {
constexpr const char* kRotateRadioSection = "general";
constexpr const char* kRotateRadioKey = "Rotate Radio Button";
// The first composition of a batch waits until the panel is on screen.
constexpr int kFirstComposeMs = 10;

enum Offset { TagX = 0, TagY = 1, TextX = 2, TextY = 3 };

constexpr int kAnchorTexts[PanelRules::kAnchorCount] = {
    res::IDS_POS_BOTTOM_LEFT, res::IDS_POS_BOTTOM_CENTER, res::IDS_POS_BOTTOM_RIGHT,
    res::IDS_POS_TOP_LEFT,    res::IDS_POS_TOP_CENTER,    res::IDS_POS_TOP_RIGHT,
    res::IDS_POS_MIDDLE_LEFT, res::IDS_POS_MIDDLE_CENTER, res::IDS_POS_MIDDLE_RIGHT,
};

QComboBox* anchorList(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    for (int id : kAnchorTexts)
        combo->addItem(res::qtext(id));
    return combo;
}

QColor colourOf(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF));
}

int32_t& offsetField(DecorationRecord& r, int which) {
    switch (which) {
    case TagX:
        return r.tagOffsetX;
    case TagY:
        return r.tagOffsetY;
    case TextX:
        return r.textOffsetX;
    default:
        return r.textOffsetY;
    }
}

const OffsetRange& rangeOf(const OffsetRanges& tag, const OffsetRanges& text, int which) {
    switch (which) {
    case TagX:
        return tag.x;
    case TagY:
        return tag.y;
    case TextX:
        return text.x;
    default:
        return text.y;
    }
}

// Digits with an optional sign; the range is checked with Enter.
QValidator* numberValidator(QObject* parent, bool sign) {
    return new QRegularExpressionValidator(
        QRegularExpression(sign ? QStringLiteral("-?[0-9]{0,9}") : QStringLiteral("[0-9]{0,9}")),
        parent);
}
} // namespace

FramePanel::FramePanel(const edit::EditContext& context, std::vector<SkinEntry> skins,
                       QWidget* parent)
    : EditToolPanel(context, parent), skins_(std::move(skins)) {
    setObjectName(QStringLiteral("FramePanel"));
    FrameSettings settings;
    if (context_.store)
        settings = FrameSettings::load(*context_.store);
    record_ = settings.record;
    // A stored choice beyond the list is the first entry.
    record_.frameIndex = settings.frameSelect <= int(skins_.size()) ? settings.frameSelect : 0;
    record_.skinPath =
        record_.frameIndex > 0 ? skins_[size_t(record_.frameIndex - 1)].iniPath : std::string();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* help = new QLabel(this);
    help->setObjectName(QStringLiteral("help"));
    help->setWordWrap(true);
    layout->addWidget(help);
    buildFrameList(layout);
    buildTag(layout);
    buildText(layout);
    if (batchMode()) {
        buildBatch(layout);
        help->setText(paths_.empty() ? res::qtext(res::IDS_MSG_NO_FILE_SELECTED)
                                     : QString::fromUtf8(res::format(res::IDS_N_PICTURES_SELECTED,
                                                                     int(paths_.size()))));
        if (!paths_.empty() && settings.radioSave == 1)
            toFolder_->setChecked(true);
    } else {
        help->setText(res::qtext(res::IDS_ONE_PICTURE_SELECTED));
    }
    QPushButton* cancelButton = nullptr;
    edit::PanelParts::addOkCancel(layout, this, &ok_, &cancelButton);
    layout->addStretch(1);
    connect(ok_, &QPushButton::clicked, this, &FramePanel::ok);
    connect(cancelButton, &QPushButton::clicked, this, &FramePanel::cancel);

    showRecord();
    if (context_.doc)
        original_ = context_.doc->displayed();
    if (batchMode()) {
        updateEnabling();
        QTimer::singleShot(kFirstComposeMs, this, [this] {
            if (!recompose()) {
                const QSignalBlocker block(frames_);
                frames_->setCurrentRow(0);
                record_.frameIndex = 0;
                record_.skinPath.clear();
                recompose();
            }
            redraw();
        });
    } else {
        if (!recompose()) {
            const QSignalBlocker block(frames_);
            frames_->setCurrentRow(0);
            record_.frameIndex = 0;
            record_.skinPath.clear();
            recompose();
        }
        redraw();
    }
}

void FramePanel::buildFrameList(QVBoxLayout* layout) {
    auto* box = new QGroupBox(res::qtext(res::IDS_FRAME_WORD), this);
    auto* l = new QVBoxLayout(box);
    frames_ = new QListWidget(box);
    frames_->setObjectName(QStringLiteral("frameList"));
    frames_->addItem(res::qtext(res::IDS_FRAME_NONE));
    for (const SkinEntry& skin : skins_)
        frames_->addItem(QString::fromStdString(skin.caption));
    frames_->setMinimumHeight(80);
    l->addWidget(frames_);
    layout->addWidget(box);
    connect(frames_, &QListWidget::currentRowChanged, this, &FramePanel::frameChosen);
}

QLineEdit* FramePanel::offsetEdit(const char* name, OffsetSpin** spin) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setValidator(numberValidator(edit, true));
    *spin = new OffsetSpin(this);
    (*spin)->setObjectName(QLatin1String(name) + QLatin1String("Spin"));
    return edit;
}

void FramePanel::buildTag(QVBoxLayout* layout) {
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    drawTag_ = new QCheckBox(res::qtext(res::IDS_TAG_IMAGE_ON), box);
    drawTag_->setObjectName(QStringLiteral("drawTag"));
    g->addWidget(drawTag_, 0, 0, 1, 4);
    tagPath_ = new QLineEdit(box);
    tagPath_->setObjectName(QStringLiteral("tagPath"));
    tagPath_->setReadOnly(true);
    auto* browse = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), box);
    browse->setObjectName(QStringLiteral("tagBrowse"));
    browse->setMaximumWidth(32);
    g->addWidget(tagPath_, 1, 0, 1, 3);
    g->addWidget(browse, 1, 3);
    g->addWidget(new QLabel(res::qtext(res::IDS_TAG_POSITION), box), 2, 0);
    tagPosition_ = anchorList(box, "tagPosition");
    g->addWidget(tagPosition_, 2, 1, 1, 3);
    const char* names[2] = {"tagX", "tagY"};
    const int labels[2] = {res::IDS_FRAME_X_OFFSET, res::IDS_FRAME_Y_OFFSET};
    for (int i = 0; i < 2; ++i) {
        g->addWidget(new QLabel(res::qtext(labels[i]), box), 3 + i, 0);
        offsets_[i] = offsetEdit(names[i], &offsetSpins_[i]);
        g->addWidget(offsets_[i], 3 + i, 1, 1, 2);
        g->addWidget(offsetSpins_[i], 3 + i, 3);
    }
    layout->addWidget(box);
    connect(drawTag_, &QCheckBox::toggled, this, &FramePanel::tagToggled);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (chooseTag())
            redrawIf(record_.drawTag);
    });
    connect(tagPosition_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.tagPosition = i;
        redrawIf(record_.drawTag);
    });
}

void FramePanel::buildText(QVBoxLayout* layout) {
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    drawText_ = new QCheckBox(res::qtext(res::IDS_TEXT_ON), box);
    drawText_->setObjectName(QStringLiteral("drawText"));
    g->addWidget(drawText_, 0, 0, 1, 4);
    text_ = new QLineEdit(box);
    text_->setObjectName(QStringLiteral("text"));
    g->addWidget(text_, 1, 0, 1, 4);
    // The picture cuts what does not fit: said at once, in red.
    textNote_ = new QLabel(res::qtext(res::IDS_TEXT_DOES_NOT_FIT), box);
    textNote_->setObjectName(QStringLiteral("textNote"));
    textNote_->setWordWrap(true);
    textNote_->setStyleSheet(QStringLiteral("color: #c00000"));
    textNote_->hide();
    g->addWidget(textNote_, 9, 0, 1, 4);

    g->addWidget(new QLabel(res::qtext(res::IDS_FONT_LABEL), box), 2, 0);
    fontLabel_ = new QLabel(box);
    fontLabel_->setObjectName(QStringLiteral("fontLabel"));
    fontLabel_->setWordWrap(true);
    auto* fontButton = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), box);
    fontButton->setObjectName(QStringLiteral("fontButton"));
    fontButton->setMaximumWidth(32);
    g->addWidget(fontLabel_, 2, 1, 1, 2);
    g->addWidget(fontButton, 2, 3);

    auto* colourButton = new QPushButton(res::qtext(res::IDS_TEXT_COLOUR), box);
    colourButton->setObjectName(QStringLiteral("colourButton"));
    swatch_ = new QLabel(box);
    swatch_->setObjectName(QStringLiteral("swatch"));
    swatch_->setFixedSize(24, 16);
    swatch_->setAutoFillBackground(true);
    swatch_->setFrameShape(QFrame::Box);
    g->addWidget(colourButton, 3, 0);
    g->addWidget(swatch_, 3, 1);

    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_ALPHA), box), 4, 0);
    alpha_ = new QLineEdit(box);
    alpha_->setObjectName(QStringLiteral("alpha"));
    alpha_->setValidator(numberValidator(alpha_, false));
    alphaSpin_ = new OffsetSpin(box);
    alphaSpin_->setObjectName(QStringLiteral("alphaSpin"));
    alphaSpin_->setRange(0, 255);
    g->addWidget(alpha_, 4, 1, 1, 2);
    g->addWidget(alphaSpin_, 4, 3);

    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_POSITION), box), 5, 0);
    textPosition_ = anchorList(box, "textPosition");
    g->addWidget(textPosition_, 5, 1, 1, 3);
    const char* names[2] = {"textX", "textY"};
    const int labels[2] = {res::IDS_FRAME_X_OFFSET, res::IDS_FRAME_Y_OFFSET};
    for (int i = 0; i < 2; ++i) {
        g->addWidget(new QLabel(res::qtext(labels[i]), box), 6 + i, 0);
        offsets_[2 + i] = offsetEdit(names[i], &offsetSpins_[2 + i]);
        g->addWidget(offsets_[2 + i], 6 + i, 1, 1, 2);
        g->addWidget(offsetSpins_[2 + i], 6 + i, 3);
    }
    g->addWidget(new QLabel(res::qtext(res::IDS_TEXT_RENDERING), box), 8, 0);
    rendering_ = new QComboBox(box);
    rendering_->setObjectName(QStringLiteral("rendering"));
    for (int id : {res::IDS_RENDER_ANTIALIAS, res::IDS_RENDER_CLEARTYPE, res::IDS_RENDER_NORMAL})
        rendering_->addItem(res::qtext(id));
    g->addWidget(rendering_, 8, 1, 1, 3);
    layout->addWidget(box);

    connect(drawText_, &QCheckBox::toggled, this, [this](bool on) {
        record_.drawText = on ? 1 : 0;
        redraw();
    });
    connect(text_, &QLineEdit::textEdited, this, [this](const QString& t) {
        record_.text = t.toStdString();
        redrawIf(record_.drawText);
    });
    connect(fontButton, &QPushButton::clicked, this, &FramePanel::chooseFont);
    connect(colourButton, &QPushButton::clicked, this, &FramePanel::chooseColour);
    connect(alpha_, &QLineEdit::returnPressed, this, &FramePanel::commitAlpha);
    connect(alphaSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        record_.textAlpha = uint8_t(v);
        alpha_->setText(QString::number(v));
        redrawIf(record_.drawText);
    });
    connect(textPosition_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.textPosition = i;
        redrawIf(record_.drawText);
    });
    connect(rendering_, &QComboBox::currentIndexChanged, this, [this](int i) {
        record_.rendering = i;
        redrawIf(record_.drawText);
    });
    for (int i = 0; i < 4; ++i) {
        connect(offsets_[i], &QLineEdit::returnPressed, this, [this] { commitOffsets(true); });
        connect(offsetSpins_[i], &QSpinBox::valueChanged, this,
                [this, i](int v) { offsetSpun(i, v); });
    }
}

void FramePanel::buildBatch(QVBoxLayout* layout) {
    const edit::BatchHandOver& h = *context_.handOver;
    paths_ = h.paths();
    for (const std::any& r : h.records()) {
        const auto* record = std::any_cast<DecorationRecord>(&r);
        records_.push_back(record ? *record : DecorationRecord{});
    }
    records_.resize(paths_.size());
    shown_.assign(paths_.size(), false);

    previous_ = new QPushButton(res::qtext(res::IDS_PREV_PICTURE_BUTTON), this);
    previous_->setObjectName(QStringLiteral("previous"));
    next_ = new QPushButton(res::qtext(res::IDS_NEXT_PICTURE_BUTTON), this);
    next_->setObjectName(QStringLiteral("next"));
    auto* nav = new QHBoxLayout;
    nav->addWidget(previous_);
    nav->addWidget(next_);
    layout->addLayout(nav);
    applyToAll_ = new QCheckBox(res::qtext(res::IDS_APPLY_TO_ALL), this);
    applyToAll_->setObjectName(QStringLiteral("applyToAll"));
    layout->addWidget(applyToAll_);

    auto* group = new QGroupBox(this);
    overwrite_ = new QRadioButton(res::qtext(res::IDS_SAVE_OVERWRITE), group);
    overwrite_->setObjectName(QStringLiteral("overwrite"));
    toFolder_ = new QRadioButton(res::qtext(res::IDS_SAVE_OTHER_FOLDER), group);
    toFolder_->setObjectName(QStringLiteral("toFolder"));
    overwrite_->setChecked(true);
    folder_ = new QLineEdit(group);
    folder_->setObjectName(QStringLiteral("folder"));
    auto* browse = new QPushButton(res::qtext(res::IDS_EDIT_DESTINATION_BROWSE), group);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setMaximumWidth(32);
    auto* g = new QGridLayout(group);
    g->addWidget(overwrite_, 0, 0, 1, 2);
    g->addWidget(toFolder_, 1, 0, 1, 2);
    g->addWidget(folder_, 2, 0);
    g->addWidget(browse, 2, 1);
    layout->addWidget(group);
    const QString first = paths_.empty() ? QString() : QString::fromStdString(paths_.front());
    folder_->setText(edit::PanelParts::folderOf(first) + QStringLiteral("/output"));

    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    connect(applyToAll_, &QCheckBox::toggled, this, &FramePanel::updateEnabling);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getExistingDirectory(this, res::qtext(res::IDS_CONVERTED_FOLDER_PROMPT),
                                              folder_->text(), QFileDialog::ShowDirsOnly);
        if (!chosen.isEmpty())
            folder_->setText(chosen);
    });
}

void FramePanel::showRecord() {
    {
        const QSignalBlocker b(frames_);
        frames_->setCurrentRow(record_.frameIndex);
    }
    {
        const QSignalBlocker b(drawTag_);
        drawTag_->setChecked(record_.drawTag != 0);
    }
    tagPath_->setText(QString::fromStdString(record_.tagPath));
    imaging::FileInfo info;
    tagSize_ =
        !record_.tagPath.empty() && imaging::PictureFile::readInfo(record_.tagPath, info) >= 1
            ? QSize(info.width, info.height)
            : QSize();
    {
        const QSignalBlocker b(tagPosition_);
        tagPosition_->setCurrentIndex(record_.tagPosition);
    }
    {
        const QSignalBlocker b(drawText_);
        drawText_->setChecked(record_.drawText != 0);
    }
    text_->setText(QString::fromStdString(record_.text));
    showFontLabel();
    showColour();
    {
        const QSignalBlocker b(alphaSpin_);
        alphaSpin_->setValue(record_.textAlpha);
    }
    alpha_->setText(QString::number(record_.textAlpha));
    {
        const QSignalBlocker b(textPosition_);
        textPosition_->setCurrentIndex(record_.textPosition);
    }
    {
        const QSignalBlocker b(rendering_);
        rendering_->setCurrentIndex(record_.rendering);
    }
    for (int i = 0; i < 4; ++i)
        offsets_[i]->setText(QString::number(offsetField(record_, i)));
}

void FramePanel::showFontLabel() {
    // The face the text is drawn with, and the stored one when the system
    // lacks it (the record keeps the stored face).
    const QString stored = QString::fromStdString(record_.fontFace);
    const QString used = faceForDrawing(stored);
    const std::string face = used == stored
                                 ? record_.fontFace
                                 : res::format(res::IDS_FONT_SUBSTITUTED, used.toUtf8().constData(),
                                               record_.fontFace.c_str());
    fontLabel_->setText(QString::fromStdString(
        PanelRules::fontLabel(face, record_.fontSize, record_.bold, record_.italic,
                              record_.strikeout, record_.underline)));
}

void FramePanel::showColour() {
    QPalette p = swatch_->palette();
    p.setColor(QPalette::Window, colourOf(record_.textColour));
    swatch_->setPalette(p);
}

bool FramePanel::recompose() {
    if (!original_.isAllocated())
        return false;
    imaging::Bitmap framed;
    const FrameError error =
        frameBitmap(original_, record_.frameIndex > 0 ? record_.skinPath : std::string(), framed);
    if (error != FrameError::None) {
        QMessageBox::warning(this, res::qtext(res::IDS_FRAME_TOOL),
                             QString::fromStdString(frameErrorText(error)));
        return false;
    }
    framed_ = std::move(framed);
    return true;
}

void FramePanel::redraw() {
    if (!framed_.isAllocated() || !context_.doc)
        return;
    // Tag and text always go on a fresh copy of the framed picture, so
    // nothing accumulates.
    imaging::Bitmap& shown = context_.doc->displayed();
    shown = framed_;
    drawOverlays(shown, record_);
    updateRanges();
    emit previewChanged();
}

void FramePanel::redrawIf(bool drawn) {
    // A hidden tag or text changes nothing on the picture, only the limits
    // of its offsets.
    if (drawn)
        redraw();
    else if (framed_.isAllocated())
        updateRanges();
}

QSizeF FramePanel::textSize() const {
    // Measured as it is drawn: the same font, fallback face and 96 dpi.
    return layOutText(record_, framed_.width(), framed_.height()).box.size();
}

void FramePanel::updateRanges() {
    const int cw = framed_.width();
    const int ch = framed_.height();
    tagRanges_ = tagSize_.isValid() ? PanelRules::tagRanges(record_.tagPosition, cw, ch,
                                                            tagSize_.width(), tagSize_.height())
                                    : OffsetRanges{};
    const QSizeF t = textSize();
    textRanges_ = PanelRules::textRanges(record_.textPosition, cw, ch, t.width(), t.height());
    for (int i = 0; i < 4; ++i) {
        const OffsetRange& r = rangeOf(tagRanges_, textRanges_, i);
        const QSignalBlocker b(offsetSpins_[i]);
        offsetSpins_[i]->setRange(r.min, r.max);
        offsetSpins_[i]->setValue(offsetField(record_, i));
    }
    updateTextNote();
}

void FramePanel::updateTextNote() {
    bool cut = false;
    if (record_.drawText && !record_.text.empty() && framed_.isAllocated()) {
        const QRectF box = layOutText(record_, framed_.width(), framed_.height()).box;
        // Half a pixel of measuring slack on each side.
        cut = !QRectF(0, 0, framed_.width(), framed_.height())
                   .adjusted(-0.5, -0.5, 0.5, 0.5)
                   .contains(box);
    }
    textNote_->setVisible(cut);
}

void FramePanel::frameChosen(int row) {
    if (row < 0 || row > int(skins_.size()))
        return;
    const DecorationRecord before = record_;
    record_.frameIndex = row;
    record_.skinPath = row > 0 ? skins_[size_t(row - 1)].iniPath : std::string();
    if (!recompose()) {
        // The picture keeps the frame it had.
        record_ = before;
        const QSignalBlocker b(frames_);
        frames_->setCurrentRow(before.frameIndex);
        return;
    }
    redraw();
}

bool FramePanel::chooseTag() {
    QFileDialog dialog(this, res::qtext(res::IDS_TAG_IMAGE_ON));
    dialog.setObjectName(QStringLiteral("tagDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.setNameFilters(edit::CSaveAsDialog::saveFilters());
    if (!record_.tagPath.empty())
        dialog.selectFile(QString::fromStdString(record_.tagPath));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString path = dialog.selectedFiles().front();
    if (!QFileInfo(path).isFile())
        return false;
    record_.tagPath = path.toStdString();
    tagPath_->setText(path);
    imaging::FileInfo info;
    tagSize_ = imaging::PictureFile::readInfo(record_.tagPath, info) >= 1
                   ? QSize(info.width, info.height)
                   : QSize();
    return true;
}

void FramePanel::tagToggled(bool on) {
    if (on && record_.tagPath.empty() && !chooseTag()) {
        // Cancelled: no tag to draw.
        const QSignalBlocker b(drawTag_);
        drawTag_->setChecked(false);
        record_.drawTag = 0;
        return;
    }
    record_.drawTag = on ? 1 : 0;
    redraw();
}

void FramePanel::chooseFont() {
    CMyFontDialog dialog(record_, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.takeInto(record_);
    showFontLabel();
    redrawIf(record_.drawText);
}

void FramePanel::chooseColour() {
    const QColor chosen =
        QColorDialog::getColor(colourOf(record_.textColour), this, res::qtext(res::IDS_TEXT_COLOUR),
                               QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return;
    record_.textColour =
        uint32_t(chosen.red()) | uint32_t(chosen.green()) << 8 | uint32_t(chosen.blue()) << 16;
    showColour();
    redrawIf(record_.drawText);
}

void FramePanel::offsetSpun(int which, int value) {
    offsetField(record_, which) = value;
    offsets_[which]->setText(QString::number(value));
    redrawIf(which == TagX || which == TagY ? record_.drawTag : record_.drawText);
}

void FramePanel::commitOffsets(bool clampToRanges) {
    for (int i = 0; i < 4; ++i) {
        bool okNumber = false;
        const qlonglong typed = offsets_[i]->text().toLongLong(&okNumber);
        int value = okNumber ? int(std::clamp<qlonglong>(typed, -FrameSettings::kOffsetLimit,
                                                         FrameSettings::kOffsetLimit))
                             : offsetField(record_, i);
        if (clampToRanges)
            value = rangeOf(tagRanges_, textRanges_, i).clamp(value);
        offsetField(record_, i) = value;
        offsets_[i]->setText(QString::number(value));
    }
    redraw();
}

void FramePanel::commitAlpha() {
    bool okNumber = false;
    const qlonglong typed = alpha_->text().toLongLong(&okNumber);
    if (!okNumber || typed < 0 || typed > 255) {
        QMessageBox::warning(this, res::qtext(res::IDS_FRAME_TOOL),
                             res::qtext(res::IDS_MSG_TEXT_ALPHA_RANGE));
        alpha_->setFocus();
        alpha_->selectAll();
        return;
    }
    record_.textAlpha = uint8_t(typed);
    {
        const QSignalBlocker b(alphaSpin_);
        alphaSpin_->setValue(int(typed));
    }
    // Enter also brings the typed offsets inside.
    commitOffsets(true);
}

void FramePanel::updateEnabling() {
    if (!batchMode())
        return;
    const bool all = applyToAll_->isChecked();
    const int last = int(paths_.size()) - 1;
    previous_->setEnabled(index_ > 0 && !all);
    next_->setEnabled(index_ < last && !all);
    ok_->setEnabled(!next_->isEnabled() && !paths_.empty());
}

void FramePanel::step(int delta) {
    const int to = index_ + delta;
    if (!batchMode() || to < 0 || to >= int(paths_.size()))
        return;
    records_[size_t(index_)] = record_;
    shown_[size_t(index_)] = true;
    index_ = to;
    // A file not shown yet starts from the values on screen.
    if (shown_[size_t(index_)])
        record_ = records_[size_t(index_)];
    FrameSettings::clamp(record_);
    if (record_.frameIndex > int(skins_.size()))
        record_.frameIndex = 0;
    showRecord();
    updateEnabling();
    emit captionChanged(batchCaption());
    const std::string& path = paths_[size_t(index_)];
    imaging::Bitmap loaded;
    // Known before the file is read: the picture shown is this file's.
    const PictureSource source = PictureSource::of(path);
    int rc = imaging::PictureFile::load(path, loaded);
    if (rc >= 1 && picturesUpright()) {
        const int o = imaging::Orientation::read(path);
        if (o != imaging::Orientation::kUpright)
            rc = imaging::Orientation::makeUpright(loaded, o);
    }
    if (rc < 1) {
        // The index has moved; the preview keeps the previous picture.
        QMessageBox::warning(this, res::qtext(res::IDS_FRAME_TOOL),
                             res::qtext(res::IDS_MSG_CANNOT_LOAD_PICTURE));
        return;
    }
    edit::WaitCursor wait;
    original_ = std::move(loaded);
    bool composed = recompose();
    if (!composed) {
        record_.frameIndex = 0;
        record_.skinPath.clear();
        const QSignalBlocker b(frames_);
        frames_->setCurrentRow(0);
        composed = recompose();
    }
    redraw();
    if (composed && context_.doc)
        context_.doc->setSource(source);
}

QString FramePanel::batchCaption() const {
    if (!batchMode() || paths_.empty())
        return {};
    return QString::fromUtf8(
               res::format(res::IDS_FRAME_BATCH_CAPTION, index_ + 1, int(paths_.size()))) +
           QString::fromStdString(paths_[size_t(index_)]);
}

void FramePanel::enterPressed() {
    if (ok_->isEnabled())
        ok();
}

bool FramePanel::checkSkins(const std::vector<std::any>& records) {
    // A skin changed or removed since it was shown stops the run before it
    // writes anything.
    const std::string reason = checkRecordSkins(records);
    if (reason.empty())
        return true;
    QMessageBox::warning(this, res::qtext(res::IDS_FRAME_TOOL), QString::fromStdString(reason));
    return false;
}

void FramePanel::saveSettings() {
    if (!context_.store)
        return;
    FrameSettings s;
    s.record = record_;
    s.frameSelect = record_.frameIndex;
    // The viewer's own picture has no destination: the stored one stays.
    s.radioSave = batchMode() ? (toFolder_->isChecked() ? 1 : 0)
                              : FrameSettings::load(*context_.store).radioSave;
    s.save(*context_.store);
}

void FramePanel::ok() {
    if (!batchMode()) {
        saveSettings();
        emit finished();
        return;
    }
    if (paths_.empty() || !ok_->isEnabled())
        return;
    records_[size_t(index_)] = record_;
    shown_[size_t(index_)] = true;
    if (applyToAll_->isChecked())
        for (DecorationRecord& r : records_)
            r = record_;
    std::vector<std::any> out(records_.begin(), records_.end());
    if (!checkSkins(out))
        return;
    const bool toFolder = toFolder_->isChecked();
    saveSettings();
    if (context_.store)
        context_.store->setInt(kRotateRadioSection, kRotateRadioKey, toFolder ? 1 : 0);
    edit::BatchHandOver* handOver = context_.handOver;
    const std::string folder = folder_->text().toStdString();
    // The panel closes first: the run's dialog is modal over the browser.
    emit handedOver();
    handOver->confirm(std::move(out),
                      toFolder ? edit::DestinationMode::Folder : edit::DestinationMode::Overwrite,
                      folder);
}

void FramePanel::cancel() {
    if (batchMode())
        context_.handOver->cancel();
    emit cancelled();
}

} // namespace kamelo::frames
