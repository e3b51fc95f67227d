#pragma once

#include "edit/core/levelsadjuster.h"
#include "edittoolpanel.h"
#include "levelspicture.h"

#include <QPointer>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;

namespace kamelo::edit {

class HistogramBox;

// "색상/밝기 조정": levels per channel with a histogram, automatic colour
// and contrast, black and white. On the viewer's picture every change shows
// at once; for a browser's batch it keeps one record per file.
class ColourPanel : public EditToolPanel {
    Q_OBJECT
public:
    enum Field { InBlack = 0, Gamma = 1, InWhite = 2, OutBlack = 3, OutWhite = 4 };
    static constexpr const char* kRadioKey = "Histogram Radio Save";

    ColourPanel(const EditContext& context, QWidget* parent = nullptr);
    ~ColourPanel() override;

    void enterPressed() override;
    void cancel() override;
    QString batchCaption() const override;

    const LevelsPicture& picture() const { return picture_; }
    int currentIndex() const { return index_; }
    const std::vector<ColourRecord>& records() const { return records_; }

private:
    void buildLevels(QVBoxLayout* layout);
    void buildBatch(QVBoxLayout* layout);
    void channelChosen(int channel);
    // The five fields of the chosen channel from the levels, and the markers.
    void showSet();
    // A field left or stepped: its value within the limits, into the set,
    // applied.
    void commit(int field);
    void markerMoved(int marker, int value, bool dropped);
    // live: a step of a drag, shown at the view's size; the whole picture
    // takes the levels when the drag ends.
    void applyLevels(bool live = false);
    // The picture changed; standIn is what the view paints in its place
    // while a drag lasts (null: the picture itself).
    void showChange(const imaging::Bitmap* standIn = nullptr);
    // The size the picture is painted at, at most the view's size.
    QSize shownSize() const;
    void runButton(int mode);
    void levelsTouched();
    void ok();
    void step(int delta);
    void updateBatchButtons();
    void chooseFolder();

    LevelsPicture picture_;
    QPointer<CShowView> view_;
    int channel_ = 0;
    QComboBox* channels_ = nullptr;
    HistogramBox* histogram_ = nullptr;
    std::array<QLineEdit*, 5> edits_{};
    std::array<QSpinBox*, 5> spins_{};
    QPushButton* apply_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    // Batch mode.
    std::vector<std::string> paths_;
    std::vector<ColourRecord> records_;
    int index_ = 0;
    QLabel* help_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QCheckBox* applyAll_ = nullptr;
    QRadioButton* overwrite_ = nullptr;
    QRadioButton* toFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
};

} // namespace kamelo::edit
