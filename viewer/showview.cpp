#include "showview.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "chrome/fileui.h"
#include "core/zoomrules.h"
#include "imaging/bitmappainter.h"
#include "imaging/picturefile.h"
#include "platform/core/fileops.h"
#include "platform/core/trashcan.h"
#include "platform/fileerrortext.h"
#include "readaheadworker.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"
#include "zoomratiodialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QWheelEvent>

namespace kamelo {

namespace {

// While a picture decodes band by band the view looks at the user's input
// between bands: navigation keys and wheel turns end the decode with their
// code; other input waits (it is dropped) so that nothing else runs inside
// the decode; closing a window waits until the decode has ended.
class DecodeInput : public QObject {
public:
    DecodeInput(int boundary) : boundary_(boundary) { qApp->installEventFilter(this); }
    ~DecodeInput() override { qApp->removeEventFilter(this); }
    int code = 0;
    bool closeAsked = false;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress: {
            const int k = static_cast<QKeyEvent*>(e)->key();
            int c = 0;
            if (k == Qt::Key_PageUp || k == Qt::Key_Backspace || k == Qt::Key_Left)
                c = CShowView::kWantPrevious;
            else if (k == Qt::Key_PageDown || k == Qt::Key_Space || k == Qt::Key_Right)
                c = CShowView::kWantNext;
            else if (k == Qt::Key_Home)
                c = CShowView::kWantFirst;
            else if (k == Qt::Key_End)
                c = CShowView::kWantLast;
            take(c);
            return true;
        }
        case QEvent::Wheel:
            take(static_cast<QWheelEvent*>(e)->angleDelta().y() > 0 ? CShowView::kWantPrevious
                                                                    : CShowView::kWantNext);
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::Close:
            closeAsked = true;
            e->ignore();
            return true;
        default:
            return false;
        }
    }

private:
    void take(int c) {
        // "View Repeat" 0: no stepping past the first / last picture.
        if ((boundary_ == 1 && c == CShowView::kWantPrevious) ||
            (boundary_ == 2 && c == CShowView::kWantNext))
            return;
        if (c != 0 && code == 0)
            code = c;
    }
    int boundary_;
};

bool isGif(const std::string& path) {
    return QFileInfo(QString::fromStdString(path))
               .suffix()
               .compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0;
}

} // namespace

CShowView::CShowView(CEyeDoc& doc, QWidget* parent)
    : QWidget(parent), doc_(doc), readAhead_(std::make_unique<ReadAheadWorker>()) {
    setObjectName(QStringLiteral("CShowView"));
    const CUiSettings* s = uiSettings();
    const uint32_t bgr = s ? s->viewerBackgroundColor : 0x808080;
    background_ = QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    paintWhileLoading_ = s ? s->paintWhileLoading != 0 : true;
    if (const SettingsStore* store = settingsStore()) {
        const int mode = store->getInt(keys::kGeneralLower, "zoom mode", kAutoFit);
        zoomMode_ = mode >= 0 && mode <= 2 ? mode : kActualSize;
        displayMode_ = store->getInt(keys::kGeneralLower, "display mode", 0);
        viewRepeat_ = store->getInt(keys::kGeneralLower, "View Repeat", 1) != 0;
    }
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, &CShowView::playNextFrame);
}

CShowView::~CShowView() {
    if (SettingsStore* store = settingsStore())
        store->setInt(keys::kGeneralLower, "zoom mode", zoomMode_);
}

void CShowView::startSoon() {
    QTimer::singleShot(10, this, [this] {
        if (loadPicture(doc_.list().current()) == kNoPicture) {
            emit nothingToShow();
            return;
        }
        if (paintWhileLoading_ && doc_.list().count() > 1)
            postReadAhead(Step::Next);
    });
}

bool CShowView::hasPicture() const {
    return doc_.displayed().isAllocated();
}

QString CShowView::currentPath() const {
    return QString::fromStdString(doc_.list().currentPath());
}

const imaging::Bitmap* CShowView::shownBitmap() const {
    if (decoding_)
        return loading_;
    return doc_.displayed().isAllocated() ? &doc_.displayed() : nullptr;
}

QSize CShowView::pictureSize() const {
    if (decoding_)
        return loadingSize_;
    const imaging::Bitmap& b = doc_.displayed();
    return b.isAllocated() ? QSize(b.width(), b.height()) : QSize();
}

QRect CShowView::displayRect() const {
    const QSize s = pictureSize();
    const ViewRect r = ZoomRules::layout(s.width(), s.height(), width(), height(), factor_,
                                         zoomMode_ == kAutoFit && !userZoom_, pan_.x(), pan_.y());
    return QRect(r.x, r.y, r.width, r.height);
}

void CShowView::prepareZoom(int w, int h) {
    pan_ = QPoint();
    if (zoomMode_ == kActualSize)
        factor_ = 1.0;
    else if (zoomMode_ == kAutoFit)
        factor_ = ZoomRules::fitFactor(w, h, width(), height());
    // Fixed ratio keeps the factor for the following pictures.
}

int CShowView::loadPicture(int index) {
    if (index < 0 || index >= doc_.list().count())
        return kNoPicture;
    if (decoding_)
        return kFailedAndReported; // one decode at a time
    userZoom_ = false;
    frameTimer_.stop();
    animation_.clear();
    // A new picture has no selection.
    selectionActive_ = false;
    selection_ = {};
    const std::string path = doc_.list().pathAt(index);
    animated_ = isGif(path);
    if (QWidget* w = window())
        w->setWindowTitle(QString::fromStdString(path) + QStringLiteral(" - ") +
                          res::qtext(res::IDS_ABOUT_CAPTION));

    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) >= 1)
        prepareZoom(info.width, info.height);

    if (!animated_ && paintWhileLoading_) {
        imaging::Bitmap ready;
        if (readAhead_->take(path, ready)) {
            // The previous picture goes after the new one is on screen:
            // returning 70 MB to the system should not delay the frame.
            auto previous = std::make_shared<imaging::Bitmap>(std::move(doc_.displayed()));
            QTimer::singleShot(0, this, [previous] {});
            doc_.displayed() = std::move(ready);
        } else {
            const int rc = loadRowByRow(path, index, QSize(info.width, info.height));
            if (rc != kLoaded)
                return rc;
        }
    } else {
        imaging::Bitmap& shown = doc_.displayed();
        const int rc = animated_ ? [&] {
            imaging::AnimatedBitmap frames;
            const int r = imaging::PictureFile::loadAnimation(path, frames);
            if (r >= 1 && !frames.empty()) {
                animation_ = std::move(frames);
                shown = animation_.current().bitmap;
            }
            return r;
        }()
                                 : imaging::PictureFile::load(path, shown);
        if (rc < 1) {
            shown.free();
            update();
            emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
            return kFailedAndReported;
        }
    }
    if (zoomMode_ == kAutoFit)
        factor_ = ZoomRules::fitFactor(doc_.displayed().width(), doc_.displayed().height(), width(),
                                       height());
    updateCursor();
    update();
    emit pictureChanged(QString::fromStdString(path), index + 1, doc_.list().count());
    if (animated_ && animation_.frameCount() > 1 && animation_.current().delayMs > 0)
        frameTimer_.start(animation_.current().delayMs);
    return kLoaded;
}

int CShowView::loadRowByRow(const std::string& path, int index, QSize announced) {
    loadingSize_ = announced;
    loading_ = nullptr;
    decodedRows_ = 0;
    decoding_ = true;
    const int count = doc_.list().count();
    const int boundary = viewRepeat_ ? 0 : index == count - 1 ? 2 : index == 0 ? 1 : 0;
    DecodeInput input(boundary);
    QPointer<CShowView> self(this);
    imaging::LoadOptions options;
    options.bandRows = 10; // input is looked at every 10th row
    options.reportPasses = true;
    options.onRows = [&](const imaging::Bitmap& b, int first, int rows, int pass) {
        if (!self)
            return 0;
        loadingSize_ = QSize(b.width(), b.height());
        // Painted straight from the bitmap being filled.
        loading_ = &b;
        decodedRows_ = pass > 0 ? b.height() : std::max(decodedRows_, first + rows);
        const QRect r = displayRect();
        repaint(pass > 0 ? r : r.intersected(QRect(0, r.y(), width(), r.height())));
        if (b.height() > 0)
            emit progress(decodedRows_ * 100 / b.height());
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return input.code == 0 ? 1 : input.code;
    };
    imaging::Bitmap decoded;
    const int rc = imaging::PictureFile::load(path, decoded, options);
    if (!self)
        return kFailedAndReported;
    decoding_ = false;
    loading_ = nullptr;
    emit progress(0);
    if (input.closeAsked)
        QTimer::singleShot(0, window(), &QWidget::close);
    if (rc < 1) {
        // A navigation code or an error: the caller decides.
        doc_.displayed().free();
        update();
        return rc;
    }
    doc_.displayed() = std::move(decoded);
    return kLoaded;
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
    if (editLock_ || decoding_ || doc_.list().empty() || !askToSaveChanges())
        return false;
    PictureList& list = doc_.list();
    // A key pressed during a decode turns the step into another one.
    for (int guard = 0; guard < 100000; ++guard) {
        pan_ = QPoint();
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

void CShowView::postReadAhead(Step step) {
    PictureList& list = doc_.list();
    const int at = step == Step::Previous ? list.previous(false) : list.next(false);
    const std::string path = list.pathAt(at);
    if (!path.empty() && !isGif(path))
        readAhead_->post(path);
}

void CShowView::keepCentreWhile(double newFactor) {
    const QSize s = pictureSize();
    const QRect before = displayRect();
    const double cx = ZoomRules::relativeCentre(before.width(), width(), pan_.x());
    const double cy = ZoomRules::relativeCentre(before.height(), height(), pan_.y());
    factor_ = newFactor;
    userZoom_ = true;
    const int dw = std::max(1, int(s.width() * factor_)),
              dh = std::max(1, int(s.height() * factor_));
    pan_ =
        QPoint(ZoomRules::panAfterZoom(dw, width(), cx), ZoomRules::panAfterZoom(dh, height(), cy));
    afterZoomChange();
}

void CShowView::afterZoomChange() {
    updateCursor();
    update();
    emit zoomChanged();
}

void CShowView::zoomIn() {
    if (hasPicture())
        keepCentreWhile(ZoomRules::zoomIn(currentFactor()));
}

void CShowView::zoomOut() {
    if (hasPicture())
        keepCentreWhile(ZoomRules::zoomOut(currentFactor()));
}

bool CShowView::setZoomPercent(int percent) {
    if (percent < ZoomRules::kMinPercent || percent > ZoomRules::kMaxPercent || !hasPicture())
        return false;
    keepCentreWhile(percent * 0.01);
    return true;
}

void CShowView::askZoomRatio() {
    ZoomRatioDialog dialog(ZoomRules::percent(currentFactor()), this);
    if (dialog.exec() == QDialog::Accepted)
        setZoomPercent(dialog.percent());
}

double CShowView::currentFactor() const {
    // In automatic fit without a user zoom the factor is the fit.
    return factor_;
}

void CShowView::setZoomMode(int mode) {
    zoomMode_ = mode;
    if (mode == kFixedRatio)
        return; // keeps the factor and the picture as they are
    userZoom_ = false;
    pan_ = QPoint();
    const QSize s = pictureSize();
    factor_ =
        mode == kActualSize ? 1.0 : ZoomRules::fitFactor(s.width(), s.height(), width(), height());
    afterZoomChange();
}

void CShowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize s = pictureSize();
    if (zoomMode_ == kAutoFit && !userZoom_) {
        factor_ = ZoomRules::fitFactor(s.width(), s.height(), width(), height());
        emit zoomChanged();
    }
    const QRect r = displayRect();
    pan_ = QPoint(ZoomRules::panAfterResize(pan_.x(), r.width(), width()),
                  ZoomRules::panAfterResize(pan_.y(), r.height(), height()));
    updateCursor();
}

void CShowView::updateCursor() {
    const QRect r = displayRect();
    const bool pannable = r.width() > width() || r.height() > height();
    if (!pannable)
        unsetCursor();
    else
        setCursor(buttonDown_ ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
}

void CShowView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    buttonDown_ = true;
    if (selectionActive_)
        return selectionPress(event->position().toPoint());
    lastMouse_ = event->position().toPoint();
    updateCursor();
}

void CShowView::mouseMoveEvent(QMouseEvent* event) {
    if (selectionActive_) {
        buttonDown_ ? selectionMove(event->position().toPoint())
                    : selectionCursor(event->position().toPoint());
        return;
    }
    if (!buttonDown_ || (zoomMode_ == kAutoFit && !userZoom_))
        return;
    const QPoint p = event->position().toPoint();
    const QRect r = displayRect();
    const QPoint before = pan_;
    pan_ = QPoint(ZoomRules::panBy(pan_.x(), p.x() - lastMouse_.x(), r.width(), width()),
                  ZoomRules::panBy(pan_.y(), p.y() - lastMouse_.y(), r.height(), height()));
    lastMouse_ = p;
    // The window content moves; only the uncovered strip is painted.
    if (pan_ != before)
        scroll(pan_.x() - before.x(), pan_.y() - before.y());
}

void CShowView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    buttonDown_ = false;
    if (selectionActive_)
        return selectionRelease(event->position().toPoint());
    updateCursor();
    update(); // full quality again
}

void CShowView::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

void CShowView::wheelEvent(QWheelEvent* event) {
    if (doc_.list().count() < 2 || event->angleDelta().y() == 0)
        return;
    navigate(event->angleDelta().y() < 0 ? Step::Next : Step::Previous);
}

ViewRect CShowView::pictureRect() const {
    const QRect r = displayRect();
    return {r.x(), r.y(), r.width(), r.height()};
}

void CShowView::setSelectionActive(bool active) {
    selectionActive_ = active;
    selection_ = {};
    setMouseTracking(active);
    if (!active)
        updateCursor();
    update();
}

void CShowView::setProportion(bool hold, int x, int y, bool swapped) {
    holdProportion_ = hold && x > 0 && y > 0;
    proportionX_ = std::max(1, x);
    proportionY_ = std::max(1, y);
    swapped_ = swapped;
}

SelectionRect CShowView::selectionInPicture() const {
    return SelectionGeometry::toPicture(selection_, pictureRect(), displayFactor());
}

QSize CShowView::setSelectionSize(int width, int height) {
    const QSize s = pictureSize();
    selection_ = SelectionGeometry::withSize(selection_, pictureRect(), displayFactor(), s.width(),
                                             s.height(), width, height);
    update();
    return {width, height};
}

void CShowView::moveSelection(int dx, int dy) {
    selection_ = {selection_.left + dx, selection_.top + dy, selection_.right + dx,
                  selection_.bottom + dy};
    update();
    emitSelection();
}

void CShowView::emitSelection() {
    const SelectionRect p = selectionInPicture();
    emit selectionChanged(p.width(), p.height());
}

void CShowView::selectionPress(const QPoint& p) {
    pressPoint_ = p;
    moved_ = false;
    grabbed_ = selection_.empty() ? SelectionPart::Outside
                                  : SelectionGeometry::hitTest(selection_, p.x(), p.y());
    const SelectionRect& r = selection_;
    switch (grabbed_) {
    case SelectionPart::Outside:
        selection_ = {p.x(), p.y(), p.x(), p.y()};
        anchor_ = p;
        break;
    case SelectionPart::BottomRight:
        anchor_ = QPoint(r.left, r.top);
        break;
    case SelectionPart::BottomLeft:
        anchor_ = QPoint(r.right, r.top);
        break;
    case SelectionPart::TopLeft:
        anchor_ = QPoint(r.right, r.bottom);
        break;
    case SelectionPart::TopRight:
        anchor_ = QPoint(r.left, r.bottom);
        break;
    default:
        anchor_ = p; // edges and moving work from the press point
        break;
    }
    update();
}

void CShowView::selectionMove(const QPoint& p) {
    moved_ = moved_ || p != pressPoint_;
    const ViewRect pic = pictureRect();
    SelectionRect r = selection_;
    switch (grabbed_) {
    case SelectionPart::Outside:
    case SelectionPart::BottomRight:
    case SelectionPart::BottomLeft:
    case SelectionPart::TopLeft:
    case SelectionPart::TopRight:
        r = SelectionGeometry::span(anchor_.x(), anchor_.y(), p.x(), p.y(), pic, holdProportion_,
                                    proportionX_, proportionY_, swapped_);
        break;
    case SelectionPart::Left:
        r.left = std::clamp(p.x(), pic.x, r.right);
        break;
    case SelectionPart::Right:
        r.right = std::clamp(p.x(), r.left, pic.x + pic.width);
        break;
    case SelectionPart::Top:
        r.top = std::clamp(p.y(), pic.y, r.bottom);
        break;
    case SelectionPart::Bottom:
        r.bottom = std::clamp(p.y(), r.top, pic.y + pic.height);
        break;
    case SelectionPart::Inside:
        r = SelectionGeometry::moved(r, p.x() - anchor_.x(), p.y() - anchor_.y(), pic);
        anchor_ = p;
        break;
    }
    // An edge drag with the proportion held: the other extent follows.
    if (holdProportion_ && (grabbed_ == SelectionPart::Left || grabbed_ == SelectionPart::Right)) {
        const int x = swapped_ ? proportionY_ : proportionX_,
                  y = swapped_ ? proportionX_ : proportionY_;
        r.bottom = std::min(r.top + r.width() * y / x, pic.y + pic.height);
    } else if (holdProportion_ &&
               (grabbed_ == SelectionPart::Top || grabbed_ == SelectionPart::Bottom)) {
        const int x = swapped_ ? proportionY_ : proportionX_,
                  y = swapped_ ? proportionX_ : proportionY_;
        r.right = std::min(r.left + r.height() * x / y, pic.x + pic.width);
    }
    selection_ = r;
    update();
    emitSelection();
}

void CShowView::selectionRelease(const QPoint& p) {
    if (!moved_ && grabbed_ == SelectionPart::Outside) {
        selection_ = {}; // a click outside clears the selection
    } else if (grabbed_ != SelectionPart::Inside) {
        selection_ = SelectionGeometry::clipped(selection_, pictureRect());
    }
    selectionCursor(p);
    update();
    emitSelection();
}

void CShowView::selectionCursor(const QPoint& p) {
    const SelectionPart part = selection_.empty()
                                   ? SelectionPart::Outside
                                   : SelectionGeometry::hitTest(selection_, p.x(), p.y());
    switch (part) {
    case SelectionPart::TopLeft:
    case SelectionPart::BottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case SelectionPart::TopRight:
    case SelectionPart::BottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case SelectionPart::Left:
    case SelectionPart::Right:
        setCursor(Qt::SizeHorCursor);
        break;
    case SelectionPart::Top:
    case SelectionPart::Bottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case SelectionPart::Inside:
        setCursor(Qt::OpenHandCursor);
        break;
    case SelectionPart::Outside:
        setCursor(Qt::CrossCursor);
        break;
    }
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
    if (!animated_ || animation_.empty())
        return;
    forward ? animation_.next() : animation_.previous();
    doc_.displayed() = animation_.current().bitmap;
    update();
}

void CShowView::playNextFrame() {
    if (!animated_ || animation_.frameCount() < 2)
        return;
    animation_.next();
    doc_.displayed() = animation_.current().bitmap;
    update();
    if (animation_.current().delayMs > 0)
        frameTimer_.start(animation_.current().delayMs);
}

bool CShowView::deleteCurrent(bool permanent, FileUi& ui) {
    PictureList& list = doc_.list();
    const std::string path = list.currentPath();
    if (path.empty() || editLock_ || decoding_)
        return false;
    const QString qpath = QString::fromStdString(path);
    const QString question = QString::fromUtf8(
        res::format(permanent ? res::IDS_CONFIRM_DELETE_PERMANENTLY : res::IDS_CONFIRM_TRASH, 1));
    if (!ui.confirm(this, question))
        return false;
    int error = 0;
    if (permanent) {
        error = FileOps::removePermanently(path).code;
    } else {
        const TrashCan::Result r = TrashCan::trash(path);
        error = r.ok ? 0 : r.error;
    }
    if (error || QFileInfo::exists(qpath)) {
        ui.error(this, FileErrorText::message(res::IDS_FAILED_DELETE, qpath, error ? error : EIO));
        return false;
    }
    readAhead_->release();
    list.removeCurrent();
    emit pathRemoved(qpath);
    modified_ = false;
    if (list.empty()) {
        doc_.displayed().free();
        animation_.clear();
        frameTimer_.stop();
        update();
        emit pictureChanged(QString(), 0, 0);
        return true;
    }
    loadPicture(list.current());
    return true;
}

void CShowView::copyToClipboard() {
    if (hasPicture())
        QApplication::clipboard()->setImage(doc_.displayed().view().copy());
}

void CShowView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    if (doc_.list().empty()) {
        // The empty text in the inverse of the background.
        p.setPen(
            QColor(255 - background_.red(), 255 - background_.green(), 255 - background_.blue()));
        QFont f;
        f.setFamilies({res::qtext(res::IDS_FONT_GULIM), QStringLiteral("NanumGothic"),
                       QStringLiteral("sans-serif")});
        f.setPixelSize(12);
        p.setFont(f);
        p.drawText(QPoint(10, 10 + p.fontMetrics().ascent()), res::qtext(res::IDS_VIEWER_EMPTY));
        return;
    }
    const imaging::Bitmap* b = shownBitmap();
    if (!b || !b->isAllocated())
        return;
    const QRect dest = displayRect();
    imaging::PaintQuality quality = displayMode_ == 2   ? imaging::PaintQuality::Best
                                    : displayMode_ == 1 ? imaging::PaintQuality::Smooth
                                                        : imaging::PaintQuality::Fast;
    if (buttonDown_ || decoding_)
        quality = imaging::PaintQuality::Fast;
    if (decoding_) {
        // Only the rows decoded so far.
        const int rows = std::min(decodedRows_, b->height());
        if (rows <= 0)
            return;
        const int destRows = int(qint64(dest.height()) * rows / b->height());
        imaging::BitmapPainter::paint(p, *b, QRect(0, 0, b->width(), rows),
                                      QRect(dest.x(), dest.y(), dest.width(), destRows), quality);
        return;
    }
    imaging::BitmapPainter::paint(p, *b, QRect(0, 0, b->width(), b->height()), dest, quality);
    if (selectionActive_ && !selection_.empty()) {
        // Outline and centre cross, inverting what lies below.
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        p.setPen(Qt::white);
        const SelectionRect& s = selection_;
        p.drawRect(s.left, s.top, s.width() - 1, s.height() - 1);
        const int cx = (s.left + s.right) / 2, cy = (s.top + s.bottom) / 2;
        p.drawLine(s.left + s.width() / 3, cy, s.right - s.width() / 3, cy);
        p.drawLine(cx, s.top + s.height() / 3, cx, s.bottom - s.height() / 3);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (showName_ && !buttonDown_) {
        const QString name = QFileInfo(currentPath()).fileName();
        p.setPen(Qt::white);
        p.drawText(QPoint(20, 20 + p.fontMetrics().ascent()), name);
        p.setPen(Qt::black);
        p.drawText(QPoint(19, 19 + p.fontMetrics().ascent()), name);
    }
}

} // namespace kamelo
