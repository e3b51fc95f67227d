#pragma once

#include "print/printergeometry.h"
#include "print/printjob.h"

#include <QDialog>
#include <QImage>

#include <memory>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QWidget;

namespace kamelo {

class PictureReader;
class PrintPreviewWorker;
class SettingsStore;

// The print dialog: page settings of both modes, a live preview of the
// current page and the print button. The settings are read from the store
// when it opens and written there only when printing starts.
class PrintDialog : public QDialog {
    Q_OBJECT
public:
    PrintDialog(std::vector<std::string> files, const PrinterPage& page, SettingsStore* store,
                std::shared_ptr<PictureReader> reader = {}, QWidget* parent = nullptr);
    ~PrintDialog() override;

    // Lets the printer and paper be chosen among those of source; the page
    // and the preview follow a choice.
    void setPageSource(std::shared_ptr<PageGeometrySource> source);
    // The printer and paper the preview shows.
    const PrinterPage& printerPage() const { return printerPage_; }

    // The job as the controls say (valid after "인쇄하기" too).
    PrintJob job() const { return job_; }
    int currentPage() const { return page_; }
    int pageCount() const;
    // The preview as last delivered (empty while drawing).
    QImage previewImage() const { return preview_; }
    PrintPreviewWorker* previewWorker() const { return worker_.get(); }
    // The preview generation shown last.
    quint64 shownGeneration() const { return shown_; }

protected:
    void accept() override;

private:
    void build();
    QWidget* buildInfo();
    QWidget* buildWholePage();
    QWidget* buildSheet();
    QWidget* buildCommon();
    QWidget* buildPreview();
    void showPage();
    void fillPapers();
    void choosePage(const QString& printer, const QString& paperKey);
    void loadControls();
    void readControls();
    void updateLimits();
    void changed();
    void requestPreview();
    void showPreview(quint64 generation, const QImage& image);
    void turnPage(int delta);
    void chooseFont();
    void chooseColour(uint32_t& value);

    PrintJob job_;
    PrinterPage printerPage_;
    std::shared_ptr<PageGeometrySource> source_;
    SettingsStore* store_;
    std::unique_ptr<PrintPreviewWorker> worker_;
    QImage preview_;
    quint64 shown_ = 0;
    int page_ = 1;
    bool loading_ = false;

    QComboBox* printerChoice_ = nullptr;
    QComboBox* paperChoice_ = nullptr;
    QLabel* orientationLabel_ = nullptr;
    QLabel* widthLabel_ = nullptr;
    QLabel* heightLabel_ = nullptr;
    QRadioButton* wholeRadio_ = nullptr;
    QRadioButton* sheetRadio_ = nullptr;
    QWidget* wholeBox_ = nullptr;
    QWidget* sheetBox_ = nullptr;
    QRadioButton* sizeRadios_[6] = {};
    QDoubleSpinBox* userWidth_ = nullptr;
    QDoubleSpinBox* userHeight_ = nullptr;
    QSlider* columns_ = nullptr;
    QSlider* rows_ = nullptr;
    QLabel* columnsLabel_ = nullptr;
    QLabel* rowsLabel_ = nullptr;
    QSpinBox* horzSpace_ = nullptr;
    QSpinBox* vertSpace_ = nullptr;
    QCheckBox* frame_ = nullptr;
    QPushButton* frameColour_ = nullptr;
    QSpinBox* horzFrameMargin_ = nullptr;
    QSpinBox* vertFrameMargin_ = nullptr;
    QComboBox* edge_ = nullptr;
    QSpinBox* margins_[4] = {}; // left, top, right, bottom
    QCheckBox* drawCaption_ = nullptr;
    QComboBox* caption_ = nullptr;
    QCheckBox* drawHeader_ = nullptr;
    QLineEdit* header_ = nullptr;
    QCheckBox* drawFooter_ = nullptr;
    QLineEdit* footer_ = nullptr;
    QPushButton* fontButton_ = nullptr;
    QPushButton* fontColour_ = nullptr;
    QWidget* previewBox_ = nullptr;
    QPushButton* prevPage_ = nullptr;
    QPushButton* nextPage_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QPushButton* printButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace kamelo
