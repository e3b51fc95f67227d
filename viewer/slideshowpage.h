#pragma once

#include "imaging/transition.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kamelo {

class SettingsStore;

// The preferences page "슬라이드쇼 설정": the interval between pictures, the
// effects the slide show picks from, and a looping preview of the effect
// clicked in the list over the three sample pictures slide0..2.jpg of the
// program folder. apply() is the sheet's OK.
class CSlideShowPage : public QWidget {
    Q_OBJECT
public:
    // pictureFolder: where slide0.jpg .. slide2.jpg are (with or without a
    // trailing '/'); empty for the program folder.
    explicit CSlideShowPage(SettingsStore& store, QWidget* parent = nullptr,
                            const QString& pictureFolder = {});
    ~CSlideShowPage() override;

    // Writes "Delay Time" (an empty field keeps the stored value) and
    // "Effect 0".."Effect 7" from the check boxes.
    void apply();

    QLineEdit* intervalEdit() const { return interval_; }
    QTreeWidget* effectList() const { return list_; }
    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* clearAllButton() const { return clearAll_; }
    QWidget* previewArea() const { return preview_; }
    // The name under the preview.
    QLabel* effectName() const { return name_; }
    // The list entry previewed (-1: none) and the sample shown now (0..2).
    int previewedEffect() const { return previewed_; }
    int slideIndex() const { return slide_; }
    // The preview's frame on screen now.
    const QImage& previewFrame() const { return frame_; }
    // Frames painted by the last preview change (tests).
    int lastChangeFrames() const { return changeFrames_; }

signals:
    // Timer 1037 moved the preview to this sample.
    void slideChanged(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setPreviewed(int index);
    void nextSlide();
    void onChangeFrame();
    void fitColumn();
    // The sample laid out at the preview's size (cached).
    const QImage& sample(int index);

    SettingsStore& store_;
    QString folder_;
    QLineEdit* interval_;
    QTreeWidget* list_;
    QPushButton* selectAll_;
    QPushButton* clearAll_;
    QWidget* preview_;
    QLabel* name_;
    QTimer slideTimer_;  // timer 1037
    QTimer changeTimer_; // the preview's frames, 20 ms apart
    int previewed_ = -1;
    int slide_ = 0;
    QImage samples_[3];
    QImage frame_;
    std::vector<double> schedule_;
    size_t step_ = 0;
    imaging::Transition::Effect change_;
    int changeFrames_ = 0;
};

} // namespace kamelo
