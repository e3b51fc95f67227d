#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"
#include "viewer/core/selectiongeometry.h"

#include <QColor>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace kamelo {

class CEyeDoc;
class FileUi;
class ReadAheadWorker;

// The viewer's picture view: one picture of the document's list, scaled by
// the zoom mode or the user's zoom, centred, panned by dragging; stepping
// through the list (painting large pictures band by band while they decode,
// with the next one read ahead), animated GIFs, delete and copy.
class CShowView : public QWidget {
    Q_OBJECT
public:
    // Load results besides library error codes.
    static constexpr int kLoaded = 1;
    static constexpr int kFailedAndReported = 0;
    static constexpr int kNoPicture = -1;
    static constexpr int kWantPrevious = -1086;
    static constexpr int kWantNext = -1087;
    static constexpr int kWantFirst = -1088;
    static constexpr int kWantLast = -1089;
    enum class Step { Next, Previous, First, Last };
    enum ZoomMode { kActualSize = 0, kAutoFit = 1, kFixedRatio = 2 };

    explicit CShowView(CEyeDoc& doc, QWidget* parent = nullptr);
    ~CShowView() override;

    // Loads the picture at index and returns one of the codes above.
    int loadPicture(int index);
    // Starts the view 10 ms after the frame's first update, as the frame asks.
    void startSoon();
    // Next, previous, first or last picture (refused while editing).
    bool navigate(Step step);
    bool canNavigate() const;

    double zoomFactor() const { return factor_; }
    int zoomMode() const { return zoomMode_; }
    bool userZoom() const { return userZoom_; }
    void zoomIn();
    void zoomOut();
    // 10..20000 %; others are ignored (false).
    bool setZoomPercent(int percent);
    void setZoomMode(int mode);
    // The zoom ratio dialog.
    void askZoomRatio();
    QPoint panOffset() const { return pan_; }

    bool hasPicture() const;
    bool isModified() const { return modified_; }
    // Asks the save question when the picture has unsaved changes; false
    // when the user cancels (the caller then stays).
    bool settleChanges() { return askToSaveChanges(); }
    void setModified(bool modified) { modified_ = modified; }
    bool editLock() const { return editLock_; }
    void setEditLock(bool locked) { editLock_ = locked; }
    bool isAnimated() const { return animated_; }
    int frameIndex() const { return animation_.currentIndex(); }
    int frameCount() const { return animation_.frameCount(); }
    void stepFrame(bool forward);
    // The shown picture's rectangle in the view.
    QRect displayRect() const;
    QString currentPath() const;
    // Draws the file name (full screen).
    void setShowFileName(bool show);
    void setPaintWhileLoading(bool on) { paintWhileLoading_ = on; }
    // The file to the trash (or for good), the next picture shown.
    bool deleteCurrent(bool permanent, FileUi& ui);
    void copyToClipboard();
    ReadAheadWorker& readAhead() { return *readAhead_; }

    // The selection tool (the crop uses it): while active the mouse draws
    // and changes a selection instead of panning.
    void setSelectionActive(bool active);
    bool selectionActive() const { return selectionActive_; }
    void setProportion(bool hold, int x, int y, bool swapped);
    SelectionRect selection() const { return selection_; }
    // The selection in picture pixels.
    SelectionRect selectionInPicture() const;
    // Sets the selection's size in picture pixels; returns it after limiting.
    QSize setSelectionSize(int width, int height);
    // Arrow keys: one pixel, no limit.
    void moveSelection(int dx, int dy);

signals:
    // After every change of the shown picture, and with count 0 when none is left.
    void pictureChanged(const QString& path, int position, int count);
    void zoomChanged();
    // The first load found no picture at the current index.
    void nothingToShow();
    // A load failed; the text is ready to show.
    void loadFailed(const QString& message);
    // A picture left the list (deleted).
    void pathRemoved(const QString& path);
    // Percent of rows decoded (100 or more ends it).
    void progress(int percent);
    void doubleClicked();
    // The modified picture should be saved before the step (the frame saves).
    void saveRequested();
    // The selection's size in picture pixels changed.
    void selectionChanged(int width, int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // announced: the size the file's header gives, for the layout before
    // the first rows arrive.
    int loadRowByRow(const std::string& path, int index, QSize announced);
    void prepareZoom(int width, int height);
    void keepCentreWhile(double newFactor);
    void afterZoomChange();
    void updateCursor();
    void postReadAhead(Step step);
    QSize pictureSize() const;
    const imaging::Bitmap* shownBitmap() const;
    bool askToSaveChanges();
    double currentFactor() const;
    // The factor the picture is drawn with right now (the fit included).
    double displayFactor() const;
    void playNextFrame();
    ViewRect pictureRect() const;
    void selectionPress(const QPoint& p);
    void selectionMove(const QPoint& p);
    void selectionRelease(const QPoint& p);
    void selectionCursor(const QPoint& p);
    void emitSelection();

    CEyeDoc& doc_;
    std::unique_ptr<ReadAheadWorker> readAhead_;
    QColor background_;
    double factor_ = 1.0;
    int zoomMode_ = kAutoFit;
    int displayMode_ = 0;
    bool viewRepeat_ = true;
    bool paintWhileLoading_ = true;
    bool userZoom_ = false;
    bool modified_ = false;
    bool editLock_ = false;
    bool animated_ = false;
    bool showName_ = false;
    bool buttonDown_ = false;
    QPoint pan_;
    QPoint lastMouse_;
    // While a picture decodes band by band.
    bool decoding_ = false;
    const imaging::Bitmap* loading_ = nullptr; // the bitmap the decode fills
    QSize loadingSize_;
    int decodedRows_ = 0;
    imaging::AnimatedBitmap animation_;
    QTimer frameTimer_;
    // Selection tool.
    bool selectionActive_ = false;
    SelectionRect selection_;
    SelectionPart grabbed_ = SelectionPart::Outside;
    QPoint anchor_;
    QPoint pressPoint_;
    bool moved_ = false;
    bool holdProportion_ = false;
    int proportionX_ = 1;
    int proportionY_ = 1;
    bool swapped_ = false;
};

} // namespace kamelo
