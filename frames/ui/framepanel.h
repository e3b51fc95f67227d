#pragma once

#include "edit/edittoolpanel.h"
#include "frames/core/decorationrecord.h"
#include "frames/core/frameskin.h"
#include "imaging/bitmap.h"
#include "panelrules.h"

#include <QSizeF>

#include <any>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace kamelo::frames {

class OffsetSpin;

// "액자 넣기": puts the viewer's picture in a frame skin and lays a tag
// picture and a line of text over it. Opened from the browser on several
// files it keeps one decoration record per file, shows each as a preview
// and hands the records to a batch run.
class FramePanel : public edit::EditToolPanel {
    Q_OBJECT
public:
    FramePanel(const edit::EditContext& context, std::vector<SkinEntry> skins,
               QWidget* parent = nullptr);

    void enterPressed() override;
    void cancel() override;
    QString batchCaption() const override;

    // What the panel shows now.
    const DecorationRecord& current() const { return record_; }
    int currentIndex() const { return index_; }
    // The picture with the frame and without tag and text.
    const imaging::Bitmap& framed() const { return framed_; }
    // The offsets the spins allow now.
    const OffsetRanges& tagRanges() const { return tagRanges_; }
    const OffsetRanges& textRanges() const { return textRanges_; }

private:
    void buildFrameList(QVBoxLayout* layout);
    void buildTag(QVBoxLayout* layout);
    void buildText(QVBoxLayout* layout);
    void buildBatch(QVBoxLayout* layout);
    // One offset: an edit with the arrows beside it.
    QLineEdit* offsetEdit(const char* name, OffsetSpin** spin);

    // The controls from record_.
    void showRecord();
    void showFontLabel();
    void showColour();
    // The framed picture from the original; false (after saying why) when
    // the skin cannot be used.
    bool recompose();
    // The framed picture with tag and text into the viewer's picture.
    void redraw();
    // redraw() when the changed tag or text is drawn at all.
    void redrawIf(bool drawn);
    void updateRanges();
    // The note under the text when it does not fit on the picture.
    void updateTextNote();

    void frameChosen(int row);
    void tagToggled(bool on);
    bool chooseTag();
    void chooseFont();
    void chooseColour();
    void offsetSpun(int which, int value);
    // Enter in an offset edit: the typed offsets within their ranges.
    void commitOffsets(bool clampToRanges);
    // Enter in the alpha edit.
    void commitAlpha();
    void step(int delta);
    void updateEnabling();
    void ok();
    // Every skin the records use, checked before the run starts.
    bool checkSkins(const std::vector<std::any>& records);
    void saveSettings();
    QSizeF textSize() const;

    std::vector<SkinEntry> skins_;
    DecorationRecord record_;
    imaging::Bitmap original_;
    imaging::Bitmap framed_;
    QSize tagSize_;
    OffsetRanges tagRanges_;
    OffsetRanges textRanges_;

    QListWidget* frames_ = nullptr;
    QCheckBox* drawTag_ = nullptr;
    QLineEdit* tagPath_ = nullptr;
    QComboBox* tagPosition_ = nullptr;
    QLineEdit* offsets_[4] = {}; // tag x, tag y, text x, text y
    OffsetSpin* offsetSpins_[4] = {};
    QCheckBox* drawText_ = nullptr;
    QLineEdit* text_ = nullptr;
    QLabel* fontLabel_ = nullptr;
    QLabel* textNote_ = nullptr;
    QLabel* swatch_ = nullptr;
    QLineEdit* alpha_ = nullptr;
    OffsetSpin* alphaSpin_ = nullptr;
    QComboBox* textPosition_ = nullptr;
    QComboBox* rendering_ = nullptr;
    QPushButton* ok_ = nullptr;

    // Batch mode.
    std::vector<std::string> paths_;
    std::vector<DecorationRecord> records_;
    std::vector<bool> shown_; // a file never shown takes the panel's values
    int index_ = 0;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QCheckBox* applyToAll_ = nullptr;
    QRadioButton* overwrite_ = nullptr;
    QRadioButton* toFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
};

} // namespace kamelo::frames
