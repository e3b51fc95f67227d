#pragma once

#include "imaging/bitmap.h"
#include "imaging/colour/colourtransform.h"
#include "imaging/fileinfo.h"
#include "imaging/turntrack.h"
#include "viewer/bandedscreencopy.h"
#include "viewer/bandloader.h"
#include "viewer/core/picturesource.h"
#include "viewer/core/selectiongeometry.h"
#include "viewer/fulldecode.h"
#include "viewer/gifplayer.h"
#include "viewer/largetiles.h"
#include "viewer/pandrag.h"
#include "viewer/screencanvas.h"
#include "viewer/selectiontool.h"
#include "viewer/slideshow.h"
#include "viewer/viewpainter.h"
#include "viewer/viewzoom.h"

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <optional>

namespace kamelo {

class CEyeDoc;
class FileUi;
class PictureList;
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
    enum ZoomMode {
        kActualSize = ViewZoom::kActualSize,
        kAutoFit = ViewZoom::kAutoFit,
        kFixedRatio = ViewZoom::kFixedRatio
    };

    explicit CShowView(CEyeDoc& doc, QWidget* parent = nullptr);
    ~CShowView() override;

    // Loads the picture at index and returns one of the codes above.
    int loadPicture(int index);
    // Starts the view 10 ms after the frame's first update, as the frame asks.
    void startSoon();
    // Next, previous, first or last picture (refused while editing).
    bool navigate(Step step);
    bool canNavigate() const;
    // A picture is decoding band by band, or a picture too large for one
    // bitmap is being read at a smaller scale.
    bool isLoading() const { return bands_.active() || largeLoading_; }
    // The picture on screen is a smaller decode whose full decode still runs.
    bool isSharpening() const { return fullDecode_.running(); }
    // The document's list grew or was replaced around the shown picture:
    // the position is told again and the next picture read ahead.
    void listChanged();

    double zoomFactor() const { return zoom_.factor(); }
    int zoomMode() const { return zoom_.mode(); }
    bool userZoom() const { return zoom_.userZoom(); }
    void zoomIn();
    void zoomOut();
    // 10..20000 %; others are ignored (false).
    bool setZoomPercent(int percent);
    void setZoomMode(int mode);
    // Reads the background colour, drawing mode, wrap-around and painting
    // while loading again (after the preferences changed) and repaints.
    void reloadOptions();
    // The zoom ratio dialog.
    void askZoomRatio();
    QPoint panOffset() const { return zoom_.pan(); }

    bool hasPicture() const;
    // The picture on screen is a smaller decode while the full one is on
    // its way (tests and benchmarks).
    bool showsSmallerDecode() const { return preview_.isAllocated() && !showsLargePicture(); }
    // The picture is too large for one bitmap: shown from a smaller decode
    // of it, with tiles read from its file where the zoom needs more; it is
    // for viewing only (the doc gives no picture to edit or save).
    bool showsLargePicture() const;
    // The tiles of such a picture (tests and benchmarks: budget, bytes held).
    LargeTiles& largeTiles() { return *large_; }
    // The last paint of such a picture had every tile it needed.
    bool largeViewSharp() const { return largeSharp_; }
    // The shown picture's size, the full one's while a smaller decode stands in.
    QSize shownPictureSize() const { return pictureSize(); }
    // The file's depth as the shown picture recorded it, without waiting
    // for a full decode on its way.
    int shownSourceBitsPerPixel() const;
    bool isModified() const { return modified_; }
    // Asks the save question when the picture has unsaved changes; false
    // when the user cancels (the caller then stays).
    bool settleChanges() { return askToSaveChanges(); }
    void setModified(bool modified) { modified_ = modified; }
    // Set when an edit turned the picture upright by its EXIF orientation:
    // writes then store orientation 1. Every load clears it.
    bool orientationMark() const { return orientationMark_; }
    void setOrientationMark(bool set) { orientationMark_ = set; }
    // Which states of the picture are its file's pixels only turned (the
    // rotate tool notes them); Save then turns the file itself, losslessly.
    // Every load clears it.
    imaging::TurnTrack& turnTrack() { return turns_; }
    // A smaller copy painted in the picture's place while an edit's live
    // preview is dragged (null: the picture itself). Every load clears it.
    void setStandIn(const imaging::Bitmap* standIn);
    bool editLock() const { return editLock_; }
    void setEditLock(bool locked) { editLock_ = locked; }
    // The shown picture was changed in place (an edit): fits it again,
    // optionally back to the origin, repaints and tells the status line.
    void pictureEdited(bool resetScroll = false);
    bool isAnimated() const { return gif_.animated(); }
    int frameIndex() const { return gif_.frameIndex(); }
    int frameCount() const { return gif_.frameCount(); }
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

    // The slide show (the frame enters full screen first). While it runs
    // the navigation steps are its steps: the next picture comes through
    // a scene change, decoded and laid out ahead on the read-ahead worker.
    void startSlideShow();
    void stopSlideShow();
    bool slideShowRunning() const { return slide_.running(); }
    SlideShow& slideShow() { return slide_; }
    // What the view shows right now, at its size.
    QImage snapshot() const;

    // The selection tool (the crop uses it): while active the mouse draws
    // and changes a selection instead of panning.
    void setSelectionActive(bool active);
    bool selectionActive() const { return selection_.active(); }
    void setProportion(bool hold, int x, int y, bool swapped);
    SelectionRect selection() const { return selection_.rect(); }
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
    // Something about the shown picture the status line should say.
    void notice(const QString& message);
    // A picture left the list (deleted).
    void pathRemoved(const QString& path);
    // Percent of rows decoded (100 or more ends it).
    void progress(int percent);
    // The full decode isSharpening() waited for was taken or dropped.
    void sharpened();
    void doubleClicked();
    // The modified picture should be saved before the step (the frame saves).
    void saveRequested();
    // The selection's size in picture pixels changed.
    void selectionChanged(int width, int height);
    // The slide show skipped a picture it could not load (the text names it).
    void slideSkipped(const QString& message);
    // The slide show stopped by itself or was stopped.
    void slideShowStopped();

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
    // announced: the stored size; orientation: how the rows are turned.
    // scale: a JPEG decodes at 1/scale first, the full picture follows.
    int loadRowByRow(const std::string& path, int index, QSize announced, int orientation,
                     int scale);
    // The rest of a load once the picture is in: layout, status, animation.
    // identity: the file's as it was before its first byte was read.
    int showLoaded(const std::string& path, int index, const PictureSource::Identity& identity);
    // Shows the picture when it is too large for one bitmap (rc: the load's
    // code); false leaves it to the other ways. Ends what the picture
    // before left in any case.
    bool loadLarge(const std::string& path, int index, const PictureSource::Identity& identity,
                   int& rc);
    void closeLarge();
    void makeLargeTiles();
    // The smaller decode of the whole picture came in.
    void largeFittedReady();
    // The doc's picture is asked for (an edit, a save): there is none to
    // give; the user is told once, and the next command asks again.
    void armLargeRefusal();
    void refuseLarge();
    // The tiles over the picture's place in the scene, at the zoom's level.
    void paintLargeDetail(QPainter& p, const ViewPainter::Scene& s) const;
    void zoomTo(double newFactor);
    void afterZoomChange();
    void updateCursor();
    void postReadAhead(Step step);
    // Moves the list's current picture by step, wrapping as stepping does.
    static void stepList(PictureList& list, Step step);
    QSize pictureSize() const;
    const imaging::Bitmap* shownBitmap() const;
    bool askToSaveChanges();
    // The factor the picture is drawn with right now (the fit included).
    double displayFactor() const;
    ViewRect pictureRect() const;
    void emitSelection();
    ViewPainter::Scene scene() const;
    // One step of the slide show in that direction.
    void slideStep(Step step);
    // Shows the picture at the current index as the next slide, or waits
    // for the worker, or skips it when it cannot be loaded.
    void showSlide();
    void postSlideAhead();
    // The doc's picture as a slide, or another in the colours of profile.
    QImage slideOf(const imaging::Bitmap& picture) const;
    QImage slideOf(const imaging::Bitmap& picture,
                   const imaging::colour::ProfilePtr& profile) const;
    // The scale a JPEG of that stored size is decoded at first, for the
    // place the zoom gives it (1: in full); a RAW file's embedded preview
    // is shown first at any zoom (2 or more).
    int firstDecodeScale(const imaging::FileInfo& info, int orientation) const;
    void startFullDecode(const std::string& path, int orientation);
    // Called when the background decode ended: the full picture replaces
    // the smaller one.
    imaging::Bitmap takeFullPicture();
    // Stops a background decode; the smaller picture goes with it.
    void dropSmallerDecode();
    void dropFullDecode();
    // Where and how the full picture of the smaller decode on screen would
    // be painted as a screen copy; none when it would not.
    std::optional<BandedScreenCopy::Target> fullCopyTarget(const imaging::Bitmap& full) const;
    void extendFullCopy();
    // Zoomed past the smaller decode: the full picture is needed now.
    void sharpenIfNeeded();
    // The picture scaled to its place (converted to the screen's colours
    // by toScreen), made once and blitted afterwards.
    const QImage* screenCopy(const imaging::Bitmap* bitmap, const QRect& dest,
                             const imaging::colour::TransformPtr& toScreen) const;
    // The transform from the colours of a bitmap the view paints to its
    // screen's; null when they are shown as they are.
    imaging::colour::TransformPtr colourOf(const imaging::Bitmap* bitmap) const;
    // The copies made for the screen are of pixels no longer there.
    void dropScreenCopies();
    // The slide on screen, laid out again when the display's colours
    // changed since it was made.
    void refreshStaleSlide();

    CEyeDoc& doc_;
    std::unique_ptr<ReadAheadWorker> readAhead_;
    QColor background_;
    int displayMode_ = 0;
    bool viewRepeat_ = true;
    bool paintWhileLoading_ = true;
    bool modified_ = false;
    bool orientationMark_ = false;
    imaging::TurnTrack turns_;
    const imaging::Bitmap* standIn_ = nullptr;
    bool editLock_ = false;
    bool showName_ = false;
    ViewZoom zoom_;
    PanDrag drag_;
    BandLoader bands_;
    GifPlayer gif_;
    SelectionTool selection_;
    SlideShow slide_;
    Step slideDirection_ = Step::Next;
    // Pictures that failed one after the other in this show.
    int slideFailures_ = 0;
    // The step waits for the worker to finish the picture.
    bool slideWaiting_ = false;
    // The file of the picture the slide show has on screen.
    std::string shownPath_;
    // A JPEG decoded smaller (or a RAW file's preview) for the first paint,
    // upright, shown in the full picture's place (fullSize_) until the full
    // decode replaces it.
    imaging::Bitmap preview_;
    QSize fullSize_;
    FullDecode fullDecode_;
    int fullGeneration_ = 0;
    // The full picture's fitted screen copy, made as its rows come while
    // this thread is idle, for the sharp frame to be one blit.
    BandedScreenCopy fullCopy_;
    // The picture on screen is a RAW file's (its development follows its
    // preview), and the read-ahead step held back until it is sharp.
    bool developsRaw_ = false;
    std::optional<Step> heldReadAhead_;
    // What screenCopy() made, and for which picture, place and colours.
    struct ScreenCopy {
        QImage image;
        const uint8_t* pixels = nullptr;
        QSize source;
        int displayMode = -1;
        imaging::colour::TransformPtr colour;
        uint64_t generation = 0;
    };
    mutable ScreenCopy screen_;
    // The converted part of a picture painted straight from its bitmap.
    mutable ScreenCanvas canvas_;
    // A picture too large for one bitmap: its smaller decode is preview_
    // (at 1/largeLevel_), fullSize_ its size.
    std::unique_ptr<LargeTiles> large_;
    int largeLevel_ = 0;
    int largeGeneration_ = 0;
    bool largeLoading_ = false;
    bool largeRefused_ = false;
    mutable bool largeSharp_ = true;
    // The display colours' generation the slide on screen was made for.
    uint64_t slideGeneration_ = 0;
};

} // namespace kamelo
