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
