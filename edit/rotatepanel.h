#pragma once

#include "edit/core/rotatecode.h"
#include "edittoolpanel.h"
#include "imaging/bitmap.h"
#include "imaging/planeturn.h"

#include <any>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kamelo::edit {

// "회전": turns and mirrors the viewer's picture, or (opened from the
// browser on several files) keeps one code per file, shows each as a
// preview, and hands the codes to a batch run.
class RotatePanel : public EditToolPanel {
    Q_OBJECT
public:
    explicit RotatePanel(const EditContext& context, QWidget* parent = nullptr);

    void enterPressed() override { ok(); }
    QString batchCaption() const override { return caption_; }

    RotateCode currentCode() const { return code_; }
    int currentIndex() const { return index_; }
    // The last sentence the panel put in the status bar.
    const QString& lastNotice() const { return notice_; }
    QToolButton* button(RotateCode code) const;
    QToolButton* originalButton() const { return original_; }

private:
    // The view's flags as they were before the last operation.
    struct ViewState {
        bool modified = false;
        bool orientationMark = false;
    };
    ViewState viewState() const;
    void press(RotateCode code);
    void autoTurn();
    void original();
    void step(int delta);
    void ok();
    void updateEnabling();
    void showPreview();
    void notify(const QString& text);
    // The EXIF orientation of the file shown; 0 when it could not be read
    // (and said so).
    int fileOrientation(const std::string& path);
    // How the file's pixels turn into the viewer's picture now (noted as
    // the file's own when it is unmodified); nullopt after other edits.
    std::optional<imaging::PlaneTurn> fileTurn() const;
    // The picture was turned by turn after being fromFile.
    void noteTurn(std::optional<imaging::PlaneTurn> fromFile, imaging::PlaneTurn turn);
    std::string currentPath() const;

    QToolButton* buttons_[RotateRules::kCodeCount] = {};
    QToolButton* original_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* ok_ = nullptr;
    QCheckBox* applyToAll_ = nullptr;
    QRadioButton* overwrite_ = nullptr;
    QRadioButton* toFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;

    RotateCode code_ = RotateCode::None;
    ViewState beforeLast_;
    QString notice_;
    QString caption_;
    // Batch mode.
    int index_ = 0;
    std::vector<std::any> records_;
    imaging::Bitmap base_; // the current file as loaded, before its code
};

} // namespace kamelo::edit
