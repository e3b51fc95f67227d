#include "showview.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "core/zoomrules.h"
#include "imaging/colour/displaycolour.h"
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
    makeLargeTiles();
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
    fullDecode_.cancel(); // nobody to tell
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
    return doc_.displayedNow().isAllocated() || preview_.isAllocated() || showsLargePicture();
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
    return preview_.isAllocated() || showsLargePicture() ? fullSize_ : QSize();
}

QRect CShowView::displayRect() const {
    return zoom_.layout(pictureSize(), size());
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

void CShowView::stepList(PictureList& list, Step step) {
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
        stepList(list, step);
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
    // The full decode of the picture on screen comes first (a RAW
    // development keeps both cores busy for seconds, a JPEG's would share
    // them with the neighbour): the next picture is read ahead once the one
    // on screen is sharp.
    if (fullDecode_.running()) {
        heldReadAhead_ = step;
        return;
    }
    PictureList& list = doc_.list();
    const int at = step == Step::Previous ? list.previous(false) : list.next(false);
    const std::string path = list.pathAt(at);
    // A picture too large for one bitmap is read in parts when it is shown.
    if (!path.empty() && !GifPlayer::isGif(path) && !LargeTiles::isLarge(path))
        readAhead_->post(path, ReadAheadWorker::ViewFit{zoom_, size(), displayMode_,
                                                        screencolour::screenIndex(this)});
}

void CShowView::zoomTo(double newFactor) {
    zoom_.zoomTo(newFactor, pictureSize(), size());
    afterZoomChange();
}

void CShowView::afterZoomChange() {
    // A picture too large for one bitmap is sharpened by tiles as it is painted.
    if (!showsLargePicture())
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
    if (!showsLargePicture())
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
        closeLarge();
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
    // A picture too large for one bitmap goes as it is seen whole: its
    // smaller decode (nothing while that is still on its way).
    if (showsLargePicture() && !preview_.isAllocated())
        return;
    const imaging::Bitmap& picture = showsLargePicture() ? preview_ : doc_.displayed();
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
    if (showsLargePicture())
        s.detail = [this](QPainter& p, const ViewPainter::Scene& at) { paintLargeDetail(p, at); };
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
    // The slide show put another picture in the doc: the tiles and the
    // smaller decode of a large one are of no more use.
    if (large_->isOpen() && doc_.displayedNow().isAllocated())
        closeLarge();
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

} // namespace kamelo
