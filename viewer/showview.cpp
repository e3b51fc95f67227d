#include "showview.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "core/zoomrules.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/jpegcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "imaging/slideframe.h"
#include "picturedeletion.h"
#include "readaheadworker.h"
#include "resources/qtstrings.h"
#include "screencolour.h"
#include "viewer/eyedoc.h"
#include "viewpainter.h"
#include "zoomratiodialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kamelo {

using imaging::colour::DisplayColour;

namespace {
// KAMELO_TRACE_PAINT=1 logs every paint of the view with the wall clock in
// milliseconds, for the start-up benchmark.
bool tracePaint() {
    static const bool on = qEnvironmentVariableIntValue("KAMELO_TRACE_PAINT") == 1;
    return on;
}
} // namespace

CShowView::CShowView(CEyeDoc& doc, QWidget* parent)
    : QWidget(parent), doc_(doc), readAhead_(std::make_unique<ReadAheadWorker>()),
      gif_(doc.displayed()) {
    setObjectName(QStringLiteral("CShowView"));
    // Whatever the last viewer showed (an edit answered "아니오", another
    // file) is neither shown nor taken as this file's picture.
    doc_.forgetPicture();
    if (const SettingsStore* store = settingsStore())
        zoom_.restoreMode(store->getInt(keys::kGeneralLower, "zoom mode", kAutoFit));
    reloadOptions();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    // A frame is painted into the same memory: the scaled copy goes with it.
    connect(&gif_, &GifPlayer::frameShown, this, [this] {
        dropScreenCopies();
        update();
    });
    connect(&slide_, &SlideShow::tick, this, [this] { slideStep(Step::Next); });
    connect(&slide_, &SlideShow::frameReady, this, qOverload<>(&QWidget::update));
    // The worker says a picture is done; the waiting step goes on here.
    readAhead_->setNotify([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (slideWaiting_)
                    showSlide();
            },
            Qt::QueuedConnection);
    });
}

void CShowView::reloadOptions() {
    const CUiSettings* s = uiSettings();
    const uint32_t bgr = s ? s->viewerBackgroundColor : 0x808080;
    background_ = QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    paintWhileLoading_ = s ? s->paintWhileLoading != 0 : true;
    if (const SettingsStore* store = settingsStore()) {
        displayMode_ = store->getInt(keys::kGeneralLower, "display mode", 0);
        viewRepeat_ = store->getInt(keys::kGeneralLower, "View Repeat", 1) != 0;
    }
    update();
}

CShowView::~CShowView() {
    readAhead_->setNotify({});
    dropSmallerDecode();
    if (SettingsStore* store = settingsStore())
        store->setInt(keys::kGeneralLower, "zoom mode", zoom_.mode());
}

void CShowView::startSoon() {
    QTimer::singleShot(10, this, [this] {
        const QPointer<CShowView> self(this);
        const int rc = loadPicture(doc_.list().current());
        if (!self)
            return; // the view went while the picture decoded
        if (rc == kNoPicture) {
            emit nothingToShow();
            return;
        }
        if (paintWhileLoading_ && doc_.list().count() > 1)
            postReadAhead(Step::Next);
    });
}

bool CShowView::hasPicture() const {
    return doc_.displayedNow().isAllocated() || preview_.isAllocated();
}

QString CShowView::currentPath() const {
    return QString::fromStdString(doc_.list().currentPath());
}

const imaging::Bitmap* CShowView::shownBitmap() const {
    if (bands_.active())
        return bands_.bitmap();
    if (doc_.displayedNow().isAllocated())
        return &doc_.displayedNow();
    return preview_.isAllocated() ? &preview_ : nullptr;
}

QSize CShowView::pictureSize() const {
    if (bands_.active())
        return bands_.shownSize();
    const imaging::Bitmap& b = doc_.displayedNow();
    if (b.isAllocated())
        return QSize(b.width(), b.height());
    // The smaller decode stands in the full picture's place.
    return preview_.isAllocated() ? fullSize_ : QSize();
}

QRect CShowView::displayRect() const {
    return zoom_.layout(pictureSize(), size());
}

int CShowView::loadPicture(int index) {
    if (index < 0 || index >= doc_.list().count())
        return kNoPicture;
    if (bands_.active())
        return kFailedAndReported; // one decode at a time
    // The previous picture's full decode is of no use any more.
    dropSmallerDecode();
    zoom_.startPicture();
    orientationMark_ = false;
    turns_.reset();
    standIn_ = nullptr;
    // The next picture may land in the same memory at the same size.
    dropScreenCopies();
    const std::string path = doc_.list().pathAt(index);
    // Known before the first byte is read: a file changed during the
    // decode no longer matches the picture.
    doc_.setSource(PictureSource());
    const PictureSource::Identity identity = PictureSource::Identity::of(path);
    gif_.reset(GifPlayer::isGif(path));
    // A new picture has no selection.
    selection_.reset();
    if (QWidget* w = window())
        w->setWindowTitle(QString::fromStdString(path) + QStringLiteral(" - ") +
                          res::qtext(res::IDS_ABOUT_CAPTION));

    // A picture read ahead is upright and laid out already: nothing is read
    // from its file again on the way to the frame.
    imaging::Bitmap ready;
    QImage screen;
    PictureSource::Identity readIdentity;
    if (!gif_.animated() && paintWhileLoading_ &&
        readAhead_->take(path, ready, nullptr, &screen, &readIdentity) &&
        !(readIdentity == identity)) {
        // The file changed after it was read ahead: read again.
        readAhead_->recycle(std::move(ready));
        ready = imaging::Bitmap();
    }
    if (ready.isAllocated()) {
        zoom_.prepare(QSize(ready.width(), ready.height()), size());
        // The previous picture is not freed here (returning 70 MB to the
        // system would delay the frame): its memory goes to the worker's
        // next decode.
        readAhead_->recycle(std::move(doc_.displayed()));
        doc_.displayed() = std::move(ready);
        const imaging::Bitmap& shown = doc_.displayedNow();
        doc_.setPictureProfile(shown.colourProfile());
        // Already scaled to its place and converted to the screen's colours
        // on the worker: the first paint is one blit.
        if (!screen.isNull())
            screen_ = {std::move(screen), shown.bits(),     QSize(shown.width(), shown.height()),
                       displayMode_,      colourOf(&shown), DisplayColour::generation()};
        return showLoaded(path, index, identity);
    }

    // The picture is shown upright when the setting asks for it: the size
    // the zoom starts from is the turned one.
    const int orientation = !gif_.animated() && picturesUpright() ? imaging::Orientation::read(path)
                                                                  : imaging::Orientation::kUpright;
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) >= 1)
        zoom_.prepare(imaging::Orientation::swapsSides(orientation)
                          ? QSize(info.height, info.width)
                          : QSize(info.width, info.height),
                      size());

    if (!gif_.animated() && paintWhileLoading_) {
        const int scale = firstDecodeScale(info, orientation);
        developsRaw_ = info.format == imaging::PictureFormat::Raw;
        const int rc =
            loadRowByRow(path, index, QSize(info.width, info.height), orientation, scale);
        if (rc <= imaging::result::kNoMemory && rc > kWantPrevious) {
            // The decoder's own error (a cut file, no memory, ...), not a
            // navigation key: said as for any other load.
            emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
            return kFailedAndReported;
        }
        if (rc != kLoaded)
            return rc;
    } else {
        imaging::Bitmap& shown = doc_.displayed();
        int rc = gif_.animated() ? gif_.load(path) : imaging::PictureFile::load(path, shown);
        if (rc >= 1 && !gif_.animated())
            rc = imaging::Orientation::makeUpright(shown, orientation);
        if (rc < 1) {
            shown.free();
            doc_.setPictureProfile(nullptr);
            update();
            emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
            return kFailedAndReported;
        }
        imaging::colour::ProfilePtr profile = shown.colourProfile();
        // An animation's frames may not carry the file's profile.
        if (!profile && gif_.animated() && DisplayColour::enabled())
            imaging::PictureFile::readProfile(path, profile);
        doc_.setPictureProfile(std::move(profile));
    }
    return showLoaded(path, index, identity);
}

int CShowView::showLoaded(const std::string& path, int index,
                          const PictureSource::Identity& identity) {
    doc_.setSource(PictureSource(path, identity));
    zoom_.fitLoaded(pictureSize(), size());
    if (slide_.running()) {
        // Loaded outside a step (the shown file was deleted): the slide on
        // screen follows.
        slide_.finish();
        shownPath_ = path;
        slide_.setRest(slideOf(doc_.displayed()));
    }
    updateCursor();
    update();
    emit pictureChanged(QString::fromStdString(path), index + 1, doc_.list().count());
    gif_.start();
    if (gif_.framesLeftOut() > 0)
        emit notice(QString::fromUtf8(res::format(res::IDS_MSG_ANIMATION_TRIMMED,
                                                  gif_.frameCount() + gif_.framesLeftOut(),
                                                  gif_.frameCount())));
    return kLoaded;
}

int CShowView::loadRowByRow(const std::string& path, int index, QSize announced, int orientation,
                            int scale) {
    const int count = doc_.list().count();
    const int boundary = viewRepeat_ ? 0 : index == count - 1 ? 2 : index == 0 ? 1 : 0;
    QPointer<CShowView> self(this);
    // Each band repaints only its own rows of the view, and no more often
    // than the display refreshes: repainting everything decoded so far on
    // every band costs as much as hundreds of full-screen paints.
    QRect pending;
    int paintedRows = 0;
    QElapsedTimer sincePaint;
    sincePaint.start();
    const auto onBand = [&](int pass) {
        const QRect r = displayRect();
        // Rows as the bitmap holds them (fewer at a decode scale).
        const int height = bands_.bitmap() ? bands_.bitmap()->height() : 0;
        if (pass > 0) {
            // Every row changes in a later pass: nothing converted holds.
            canvas_.clear();
            pending = QRect();
            repaint(r);
        } else {
            pending |=
                ViewPainter::bandArea(r, bands_.orientation(), height, paintedRows, bands_.rows());
            paintedRows = bands_.rows();
            if (!pending.isEmpty() && (sincePaint.elapsed() >= 16 || paintedRows >= height)) {
                repaint(pending);
                pending = QRect();
                sincePaint.restart();
            }
        }
        if (height > 0)
            emit progress(bands_.rows() * 100 / height);
    };
    imaging::Bitmap decoded;
    bool closeAsked = false;
    // The picture going lends its memory to the whole decode; a smaller
    // one leaves it to the full decode that follows.
    imaging::Bitmap* spare = scale > 1 ? nullptr : &doc_.displayed();
    int rc = bands_.load(path, announced, orientation, boundary, scale, spare,
                         QPointer<QObject>(this), onBand, decoded, closeAsked);
    if (!self)
        return kFailedAndReported;
    emit progress(0);
    if (closeAsked)
        QTimer::singleShot(0, window(), &QWidget::close);
    if (rc >= 1)
        rc = imaging::Orientation::makeUpright(decoded, orientation);
    if (rc < 1) {
        // A navigation code or an error: the caller decides.
        doc_.displayed().free();
        doc_.setPictureProfile(nullptr);
        update();
        return rc;
    }
    doc_.setPictureProfile(decoded.colourProfile());
    if (scale > 1) {
        preview_ = std::move(decoded);
        fullSize_ =
            imaging::Orientation::swapsSides(orientation) ? announced.transposed() : announced;
        startFullDecode(path, orientation);
        return kLoaded;
    }
    doc_.displayed() = std::move(decoded);
    return kLoaded;
}

int CShowView::firstDecodeScale(const imaging::FileInfo& info, int orientation) const {
    const bool raw = info.format == imaging::PictureFormat::Raw;
    if ((info.format != imaging::PictureFormat::Jpeg && !raw) || info.width <= 0 ||
        info.height <= 0)
        return 1;
    const QSize upright = imaging::Orientation::swapsSides(orientation)
                              ? QSize(info.height, info.width)
                              : QSize(info.width, info.height);
    QSize shown = zoom_.layout(upright, size()).size();
    if (imaging::Orientation::swapsSides(orientation))
        shown.transpose(); // the decode is of the stored rows
    const int scale = imaging::jpegcodec::scaleDenominatorFor(info.width, info.height,
                                                              shown.width(), shown.height());
    // A camera RAW shows its embedded preview first whatever the zoom: the
    // development takes seconds and follows in the background.
    return raw ? std::max(scale, 2) : scale;
}

void CShowView::startFullDecode(const std::string& path, int orientation) {
    const int generation = ++fullGeneration_;
    // The picture before lends its memory (the same size in a folder of
    // one camera's pictures).
    imaging::Bitmap spare = std::move(doc_.displayed());
    doc_.displayed().free();
    fullDecode_.start(path, orientation, std::move(spare), [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == fullGeneration_ && doc_.pictureOnItsWay())
                    doc_.completePicture();
            },
            Qt::QueuedConnection);
    });
    doc_.setPictureCompleter([this] { return takeFullPicture(); });
}

imaging::Bitmap CShowView::takeFullPicture() {
    int rc = imaging::result::kSuccess;
    imaging::Bitmap full = fullDecode_.finish(rc);
    // Same place, sharper pixels: nothing moves on screen.
    preview_.free();
    dropScreenCopies();
    update();
    if (rc < 1)
        emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
    if (const std::optional<Step> held = std::exchange(heldReadAhead_, std::nullopt))
        postReadAhead(*held);
    return full;
}

void CShowView::dropSmallerDecode() {
    fullDecode_.cancel();
    heldReadAhead_.reset();
    if (doc_.pictureOnItsWay())
        doc_.setPictureCompleter(nullptr);
    preview_.free();
}

void CShowView::sharpenIfNeeded() {
    if (!preview_.isAllocated())
        return;
    const QRect r = displayRect();
    if (r.width() > preview_.width() || r.height() > preview_.height())
        doc_.completePicture();
}

const QImage* CShowView::screenCopy(const imaging::Bitmap* bitmap, const QRect& dest,
                                    const imaging::colour::TransformPtr& toScreen) const {
    if (!bitmap || !bitmap->isAllocated() || bands_.active() || drag_.down() ||
        !ViewPainter::wantsScreenCopy(QSize(bitmap->width(), bitmap->height()), dest, size()))
        return nullptr;
    const QSize source(bitmap->width(), bitmap->height());
    // Converted once after scaling: a view-sized copy, whatever the picture.
    const uint64_t generation = toScreen ? DisplayColour::generation() : 0;
    if (screen_.pixels != bitmap->bits() || screen_.source != source ||
        screen_.image.size() != dest.size() || screen_.displayMode != displayMode_ ||
        screen_.colour != toScreen || screen_.generation != generation)
        screen_ = {ViewPainter::screenCopy(*bitmap, dest.size(), displayMode_, toScreen.get()),
                   bitmap->bits(),
                   source,
                   displayMode_,
                   toScreen,
                   generation};
    return screen_.image.isNull() ? nullptr : &screen_.image;
}

imaging::colour::TransformPtr CShowView::colourOf(const imaging::Bitmap* bitmap) const {
    if (!bitmap || !DisplayColour::enabled())
        return nullptr;
    // The bands carry the file's profile from the first one; the doc's
    // profile is the picture's before the new one has landed.
    const imaging::colour::ProfilePtr& profile = bands_.active() && bitmap == bands_.bitmap()
                                                     ? bitmap->colourProfile()
                                                     : doc_.profileOf(*bitmap);
    return DisplayColour::toScreen(profile, screencolour::screenIndex(this));
}

void CShowView::dropScreenCopies() {
    screen_ = ScreenCopy{};
    canvas_.clear();
}

void CShowView::setStandIn(const imaging::Bitmap* standIn) {
    // The stand-in is redrawn in place while an edit is dragged.
    standIn_ = standIn;
    canvas_.clear();
    update();
}

void CShowView::pictureEdited(bool resetScroll) {
    // The scaled copy is known by the picture's memory and size, which an
    // edit in place keeps.
    dropScreenCopies();
    if (resetScroll)
        zoom_.resetPan();
    const QSize s = pictureSize();
    zoom_.fitLoaded(s, size());
    zoom_.keepPanInside(s, size());
    updateCursor();
    update();
    emit pictureChanged(currentPath(), doc_.list().current() + 1, doc_.list().count());
}

bool CShowView::canNavigate() const {
    return !editLock_ && doc_.list().count() >= 2;
}

bool CShowView::askToSaveChanges() {
    if (!modified_)
        return true;
    QMessageBox box(QMessageBox::Question, res::qtext(res::IDS_SAVE_MODIFIED_CAPTION),
                    res::qtext(res::IDS_SAVE_MODIFIED_QUESTION), QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(res::qtext(res::IDS_YES), QMessageBox::YesRole);
    QPushButton* no = box.addButton(res::qtext(res::IDS_NO), QMessageBox::NoRole);
    box.addButton(res::qtext(res::IDS_CANCEL), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == yes)
        emit saveRequested();
    else if (box.clickedButton() != no)
        return false;
    modified_ = false;
    return true;
}

bool CShowView::navigate(Step step) {
    if (!editLock_ && !bands_.active())
        doc_.completeList();
    if (slide_.running()) {
        if (slideWaiting_ || slide_.busy())
            return false;
        slideStep(step);
        return true;
    }
    if (editLock_ || bands_.active() || doc_.list().empty() || !askToSaveChanges())
        return false;
    PictureList& list = doc_.list();
    // A key pressed during a decode turns the step into another one.
    for (int guard = 0; guard < 100000; ++guard) {
        zoom_.resetPan();
        switch (step) {
        case Step::Next:
            list.next(true);
            break;
        case Step::Previous:
            list.previous(true);
            break;
        case Step::First:
            list.first(true);
            break;
        case Step::Last:
            list.last(true);
            break;
        }
        const int rc = loadPicture(list.current());
        if (rc == kWantPrevious || rc == kWantNext || rc == kWantFirst || rc == kWantLast) {
            if (editLock_)
                return false;
            step = rc == kWantPrevious ? Step::Previous
                   : rc == kWantNext   ? Step::Next
                   : rc == kWantFirst  ? Step::First
                                       : Step::Last;
            continue;
        }
        if (rc == kLoaded && (step == Step::Next || step == Step::Previous) && paintWhileLoading_ &&
            list.count() >= 2)
            postReadAhead(step);
        return rc == kLoaded;
    }
    return false;
}

void CShowView::listChanged() {
    const PictureList& list = doc_.list();
    emit pictureChanged(currentPath(), list.current() + 1, list.count());
    if (paintWhileLoading_ && list.count() > 1 && hasPicture())
        postReadAhead(Step::Next);
}

void CShowView::postReadAhead(Step step) {
    // A RAW development keeps both cores busy for seconds: the next picture
    // is read ahead once the one on screen is sharp.
    if (developsRaw_ && fullDecode_.running()) {
        heldReadAhead_ = step;
        return;
    }
    PictureList& list = doc_.list();
    const int at = step == Step::Previous ? list.previous(false) : list.next(false);
    const std::string path = list.pathAt(at);
    if (!path.empty() && !GifPlayer::isGif(path))
        readAhead_->post(path, ReadAheadWorker::ViewFit{zoom_, size(), displayMode_,
                                                        screencolour::screenIndex(this)});
}

void CShowView::zoomTo(double newFactor) {
    zoom_.zoomTo(newFactor, pictureSize(), size());
    afterZoomChange();
}

void CShowView::afterZoomChange() {
    sharpenIfNeeded();
    updateCursor();
    update();
    emit zoomChanged();
}

void CShowView::zoomIn() {
    if (hasPicture())
        zoomTo(ZoomRules::zoomIn(zoom_.factor()));
}

void CShowView::zoomOut() {
    if (hasPicture())
        zoomTo(ZoomRules::zoomOut(zoom_.factor()));
}

bool CShowView::setZoomPercent(int percent) {
    if (percent < ZoomRules::kMinPercent || percent > ZoomRules::kMaxPercent || !hasPicture())
        return false;
    zoomTo(percent * 0.01);
    return true;
}

void CShowView::askZoomRatio() {
    ZoomRatioDialog dialog(ZoomRules::percent(zoom_.factor()), this);
    if (dialog.exec() == QDialog::Accepted)
        setZoomPercent(dialog.percent());
}

void CShowView::setZoomMode(int mode) {
    if (zoom_.setMode(mode, pictureSize(), size()))
        afterZoomChange();
}

void CShowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (slide_.running()) {
        // The slide at rest is laid out again; the one on its way too.
        slide_.finish();
        slide_.setRest(slideOf(doc_.displayed()));
        postSlideAhead();
    }
    if (zoom_.followWindow(pictureSize(), size()))
        emit zoomChanged();
    zoom_.keepPanInside(pictureSize(), size());
    sharpenIfNeeded();
    updateCursor();
}

void CShowView::updateCursor() {
    const QRect r = displayRect();
    const bool pannable = r.width() > width() || r.height() > height();
    if (!pannable)
        unsetCursor();
    else
        setCursor(drag_.down() ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

void CShowView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    drag_.setDown(true);
    if (selection_.active()) {
        selection_.press(event->position().toPoint());
        update();
        return;
    }
    drag_.grab(event->position().toPoint());
    updateCursor();
}

void CShowView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (selection_.active()) {
        if (drag_.down()) {
            selection_.move(p, pictureRect());
            update();
            emitSelection();
        } else {
            setCursor(selection_.cursorAt(p));
        }
        return;
    }
    if (!drag_.down() || zoom_.fitting())
        return;
    const QPoint moved = zoom_.panBy(drag_.moveTo(p), pictureSize(), size());
    // The window content moves; only the uncovered strip is painted.
    if (!moved.isNull())
        scroll(moved.x(), moved.y());
}

void CShowView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    drag_.setDown(false);
    if (selection_.active()) {
        selection_.release(pictureRect());
        setCursor(selection_.cursorAt(event->position().toPoint()));
        update();
        emitSelection();
        return;
    }
    updateCursor();
    update(); // full quality again
}

void CShowView::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

void CShowView::wheelEvent(QWheelEvent* event) {
    if (!bands_.active())
        doc_.completeList();
    if (doc_.list().count() < 2 || event->angleDelta().y() == 0)
        return;
    navigate(event->angleDelta().y() < 0 ? Step::Next : Step::Previous);
}

ViewRect CShowView::pictureRect() const {
    const QRect r = displayRect();
    return {r.x(), r.y(), r.width(), r.height()};
}

void CShowView::setSelectionActive(bool active) {
    selection_.setActive(active);
    setMouseTracking(active);
    if (!active)
        updateCursor();
    update();
}

void CShowView::setProportion(bool hold, int x, int y, bool swapped) {
    selection_.setProportion(hold, x, y, swapped);
}

SelectionRect CShowView::selectionInPicture() const {
    return SelectionGeometry::toPicture(selection_.rect(), pictureRect(), displayFactor());
}

QSize CShowView::setSelectionSize(int width, int height) {
    const QSize s = pictureSize();
    selection_.setRect(SelectionGeometry::withSize(
        selection_.rect(), pictureRect(), displayFactor(), s.width(), s.height(), width, height));
    update();
    return {width, height};
}

void CShowView::moveSelection(int dx, int dy) {
    selection_.moveBy(dx, dy);
    update();
    emitSelection();
}

void CShowView::emitSelection() {
    const SelectionRect p = selectionInPicture();
    emit selectionChanged(p.width(), p.height());
}

double CShowView::displayFactor() const {
    const QSize s = pictureSize();
    const QRect r = displayRect();
    return s.width() > 0 ? double(r.width()) / s.width() : 1.0;
}

void CShowView::setShowFileName(bool show) {
    showName_ = show;
    update();
}

void CShowView::stepFrame(bool forward) {
    gif_.step(forward);
}

bool CShowView::deleteCurrent(bool permanent, FileUi& ui) {
    if (!bands_.active())
        doc_.completeList();
    PictureList& list = doc_.list();
    const std::string path = list.currentPath();
    if (path.empty() || editLock_ || bands_.active())
        return false;
    if (!PictureDeletion::confirmAndRemove(path, permanent, ui, this))
        return false;
    readAhead_->release();
    list.removeCurrent();
    emit pathRemoved(QString::fromStdString(path));
    modified_ = false;
    if (list.empty()) {
        dropSmallerDecode();
        doc_.displayed().free();
        doc_.setSource(PictureSource());
        doc_.setPictureProfile(nullptr);
        gif_.clear();
        update();
        emit pictureChanged(QString(), 0, 0);
        return true;
    }
    loadPicture(list.current());
    return true;
}

void CShowView::copyToClipboard() {
    if (!hasPicture())
        return;
    const imaging::Bitmap& picture = doc_.displayed();
    QImage copy = picture.view().copy();
    // The clipboard carries no profile: what other programs take from it
    // is sRGB.
    if (const imaging::colour::TransformPtr toSrgb = DisplayColour::toSrgb(doc_.profileOf(picture)))
        toSrgb->apply(copy);
    QApplication::clipboard()->setImage(copy);
}

ViewPainter::Scene CShowView::scene() const {
    ViewPainter::Scene s;
    s.client = rect();
    s.background = background_;
    s.emptyList = doc_.list().empty();
    s.bitmap = standIn_ && !bands_.active() ? standIn_ : shownBitmap();
    if (!s.emptyList && s.bitmap && s.bitmap->isAllocated())
        s.dest = displayRect();
    s.displayMode = displayMode_;
    s.dragging = drag_.down();
    s.decoding = bands_.active();
    s.decodedRows = bands_.rows();
    s.orientation = bands_.active() ? bands_.orientation() : 1;
    s.colour = colourOf(s.bitmap);
    s.colourGeneration = s.colour ? DisplayColour::generation() : 0;
    s.canvas = &canvas_;
    s.screen = screenCopy(s.bitmap, s.dest, s.colour);
    s.selectionActive = selection_.active();
    s.selection = selection_.rect();
    s.showName = showName_ && !slide_.running();
    if (s.showName)
        s.name = QFileInfo(currentPath()).fileName();
    return s;
}

QImage CShowView::snapshot() const {
    if (slide_.running() && slide_.screen().size() == size())
        return slide_.screen().copy();
    QImage shot(size(), QImage::Format_RGB32);
    if (shot.isNull())
        return shot;
    QPainter p(&shot);
    ViewPainter::paint(p, scene());
    return shot;
}

void CShowView::paintEvent(QPaintEvent* event) {
    if (slide_.running())
        refreshStaleSlide();
    QPainter p(this);
    if (slide_.running() && slide_.screen().size() == size()) {
        // The slide show's frames are laid out at the view's size already.
        p.drawImage(0, 0, slide_.screen());
        if (tracePaint())
            std::fprintf(stderr, "kamelo-paint %lld slide %d/%d %dx%d\n",
                         (long long)QDateTime::currentMSecsSinceEpoch(), height(), height(),
                         event->rect().width(), event->rect().height());
        return;
    }
    ViewPainter::Scene s = scene();
    s.exposed = event->rect();
    ViewPainter::paint(p, s);
    if (tracePaint())
        std::fprintf(stderr, "kamelo-paint %lld %s %d/%d %dx%d\n",
                     (long long)QDateTime::currentMSecsSinceEpoch(),
                     s.decoding                              ? "band"
                     : s.bitmap == &preview_                 ? "scaled"
                     : (s.bitmap && s.bitmap->isAllocated()) ? "whole"
                                                             : "empty",
                     s.decoding ? s.decodedRows : (s.bitmap ? s.bitmap->height() : 0),
                     s.bitmap ? s.bitmap->height() : 0, event->rect().width(),
                     event->rect().height());
}

int CShowView::shownSourceBitsPerPixel() const {
    return preview_.isAllocated() ? preview_.sourceBitsPerPixel()
                                  : doc_.displayedNow().sourceBitsPerPixel();
}

QImage CShowView::slideOf(const imaging::Bitmap& picture) const {
    return slideOf(picture, doc_.profileOf(picture));
}

QImage CShowView::slideOf(const imaging::Bitmap& picture,
                          const imaging::colour::ProfilePtr& profile) const {
    const imaging::colour::TransformPtr toScreen =
        DisplayColour::enabled() ? DisplayColour::toScreen(profile, screencolour::screenIndex(this))
                                 : nullptr;
    return screencolour::slide(picture, size(), background_, toScreen.get());
}

void CShowView::refreshStaleSlide() {
    const uint64_t generation = DisplayColour::generation();
    if (slide_.playing() || slideGeneration_ == generation)
        return;
    slideGeneration_ = generation;
    slide_.setRest(slideOf(doc_.displayedNow()));
}

void CShowView::startSlideShow() {
    if (!editLock_ && !bands_.active())
        doc_.completeList(); // the show goes through the whole folder
    if (slide_.running() || doc_.list().empty() || editLock_ || bands_.active() ||
        !askToSaveChanges())
        return;
    shownPath_ = doc_.displayed().isAllocated() ? doc_.list().currentPath() : std::string();
    // Whatever is on screen is where the first change starts.
    slideGeneration_ = DisplayColour::generation();
    const QImage shown = snapshot();
    slide_.start(settingsStore());
    slideFailures_ = 0;
    slideWaiting_ = false;
    selection_.reset();
    slide_.setRest(shown);
    postSlideAhead();
}

void CShowView::stopSlideShow() {
    if (!slide_.running())
        return;
    slide_.stop();
    slideWaiting_ = false;
    // The picture is shown by the zoom mode again.
    zoom_.startPicture();
    zoom_.prepare(pictureSize(), size());
    zoom_.fitLoaded(pictureSize(), size());
    updateCursor();
    update();
    emit zoomChanged();
    emit slideShowStopped();
}

void CShowView::postSlideAhead() {
    PictureList& list = doc_.list();
    if (!slide_.running() || list.empty())
        return;
    const int at = slideDirection_ == Step::Previous ? list.previous(false) : list.next(false);
    const std::string path = list.pathAt(at);
    if (!path.empty() && path != list.currentPath())
        readAhead_->post(path, size(), background_, screencolour::screenIndex(this));
}

void CShowView::slideStep(Step step) {
    if (!slide_.running() || slideWaiting_ || slide_.busy())
        return;
    PictureList& list = doc_.list();
    if (list.empty()) {
        stopSlideShow();
        return;
    }
    slide_.finish();
    slide_.setBusy(true);
    slide_.chooseEffect();
    slideDirection_ = step;
    switch (step) {
    case Step::Next:
        list.next(true);
        break;
    case Step::Previous:
        list.previous(true);
        break;
    case Step::First:
        list.first(true);
        break;
    case Step::Last:
        list.last(true);
        break;
    }
    showSlide();
}

void CShowView::showSlide() {
    slideWaiting_ = false;
    if (!slide_.running())
        return;
    PictureList& list = doc_.list();
    const int index = list.current();
    const std::string path = list.pathAt(index);
    imaging::Bitmap picture;
    QImage next;
    bool loaded = false;
    // Slides made from here on are in the display's colours as they are now.
    const uint64_t generation = DisplayColour::generation();
    imaging::colour::ProfilePtr profile;
    PictureSource source = doc_.source();
    const PictureSource::Identity identity = PictureSource::Identity::of(path);
    if (path == shownPath_ && doc_.displayed().isAllocated()) {
        // The same picture again (a list of one): nothing to decode.
        picture = doc_.displayed();
        profile = doc_.profileOf(picture);
        loaded = true;
    } else if (PictureSource::Identity read;
               readAhead_->take(path, picture, &next, nullptr, &read) && read == identity) {
        source = PictureSource(path, read);
        loaded = true;
    } else if (readAhead_->busyWith(path)) {
        slideWaiting_ = true; // the worker's notice brings us back
        return;
    } else {
        // Not asked for ahead (a key step, the first one), too large for a
        // background decode, or changed since: decoded here in one piece.
        picture.free();
        next = QImage();
        source = PictureSource(path, identity);
        loaded = imaging::PictureFile::load(path, picture) >= 1 &&
                 (!picturesUpright() || imaging::Orientation::makeUpright(
                                            picture, imaging::Orientation::read(path)) >= 1);
    }
    if (!loaded) {
        // No message box while the show runs: the name goes to the status
        // line and the show goes on, unless nothing in the list loads.
        ++slideFailures_;
        const QString name = QFileInfo(QString::fromStdString(path)).fileName();
        emit slideSkipped(
            QString::fromUtf8(res::format(res::IDS_SLIDESHOW_SKIPPED, name.toUtf8().constData())));
        if (slideFailures_ >= list.count()) {
            stopSlideShow();
            emit loadFailed(res::qtext(res::IDS_SLIDESHOW_NOTHING_LOADS));
            return;
        }
        switch (slideDirection_) {
        case Step::Previous:
        case Step::Last:
            list.previous(true);
            slideDirection_ = Step::Previous;
            break;
        default:
            list.next(true);
            slideDirection_ = Step::Next;
            break;
        }
        // The next one from the event loop, so keys stay live.
        QTimer::singleShot(0, this, [this] {
            if (slide_.running() && slide_.busy())
                showSlide();
        });
        return;
    }
    slideFailures_ = 0;
    if (!profile)
        profile = picture.colourProfile();
    if (next.size() != size())
        next = slideOf(picture, profile);
    const int effect = slide_.currentEffect();
    // Library-style effects start from the background when pictures are
    // painted while loading; the cross-fade always from what is on screen.
    QImage from;
    if (effect != imaging::Transition::kFade && paintWhileLoading_) {
        from = QImage(size(), QImage::Format_RGB32);
        from.fill(background_.rgb());
    } else {
        from = snapshot();
    }
    // The slide going off is not freed here: returning 70 MB to the system
    // would delay the first frame; its memory serves the worker's next decode.
    readAhead_->recycle(std::move(doc_.displayed()));
    doc_.displayed() = std::move(picture);
    doc_.setSource(std::move(source));
    doc_.setPictureProfile(std::move(profile));
    slideGeneration_ = generation;
    dropScreenCopies();
    shownPath_ = path;
    gif_.reset(false);
    orientationMark_ = false;
    turns_.reset();
    modified_ = false;
    zoom_.startPicture();
    zoom_.prepare(pictureSize(), size());
    zoom_.fitLoaded(pictureSize(), size());
    if (QWidget* w = window())
        w->setWindowTitle(QString::fromStdString(path) + QStringLiteral(" - ") +
                          res::qtext(res::IDS_ABOUT_CAPTION));
    emit pictureChanged(QString::fromStdString(path), index + 1, list.count());
    slide_.play(effect, from, next);
    slide_.setBusy(false);
    postSlideAhead();
}

} // namespace kamelo
