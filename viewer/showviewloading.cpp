#include "showview.h"

#include "base/uisettings.h"
#include "core/zoomrules.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/jpegcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "readaheadworker.h"
#include "resources/qtstrings.h"
#include "screencolour.h"
#include "viewer/eyedoc.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace kamelo {

using imaging::colour::DisplayColour;

// Loading: the picture band by band or from read-ahead, the smaller first decode
// and the full one behind it.
int CShowView::loadPicture(int index) {
    if (index < 0 || index >= doc_.list().count())
        return kNoPicture;
    if (bands_.active())
        return kFailedAndReported; // one decode at a time
    // A decode begun before this view for a picture it shows another way
    // (read ahead, too large for one bitmap, not band by band) is dropped
    // with this load; the band loader takes a matching one first.
    const struct DropHeadStart {
        ~DropHeadStart() { BandLoader::offerHeadStart(nullptr); }
    } dropHeadStart;
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
    // Too large for one bitmap: read scaled, and in tiles where zoomed in.
    if (int rc = kFailedAndReported; loadLarge(path, index, identity, rc))
        return rc;

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
    // The full decode of a JPEG runs on the other core while this thread
    // decodes and paints the smaller one, rather than after it. A camera
    // RAW's development waits: it keeps both cores busy for seconds.
    const bool fullAlongside = scale > 1 && !developsRaw_;
    if (fullAlongside)
        startFullDecode(path, orientation);
    // The picture going lends its memory to the whole decode; a smaller
    // one leaves it to the full decode.
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
        // A navigation code or an error: the caller decides. The full
        // decode of a picture not shown is of no use.
        dropFullDecode();
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
        if (!fullAlongside)
            startFullDecode(path, orientation);
        // Only now is there a smaller picture for the full one to replace.
        doc_.setPictureCompleter([this] { return takeFullPicture(); });
        // Ended during the smaller decode: its notice found nothing to complete.
        if (fullDecode_.done())
            QMetaObject::invokeMethod(
                this,
                [this, generation = fullGeneration_] {
                    if (generation == fullGeneration_ && doc_.pictureOnItsWay())
                        doc_.completePicture();
                },
                Qt::QueuedConnection);
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
    fullCopy_.reset();
    const auto done = [this, generation] {
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == fullGeneration_ && doc_.pictureOnItsWay())
                    doc_.completePicture();
            },
            Qt::QueuedConnection);
    };
    // A RAW development's rows are not its final pixels.
    std::function<void()> rowsAdvanced;
    if (!developsRaw_)
        rowsAdvanced = [this, generation] {
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation == fullGeneration_)
                        extendFullCopy();
                },
                Qt::QueuedConnection);
        };
    fullDecode_.start(path, orientation, std::move(spare), done, std::move(rowsAdvanced));
}

std::optional<BandedScreenCopy::Target>
CShowView::fullCopyTarget(const imaging::Bitmap& full) const {
    if (!preview_.isAllocated() || showsLargePicture() || slide_.running() || drag_.down())
        return std::nullopt;
    const QRect dest = displayRect();
    if (!ViewPainter::wantsScreenCopy(fullSize_, dest, size()))
        return std::nullopt;
    // As screenCopy() will ask for it when the full picture is painted.
    const imaging::colour::TransformPtr colour = colourOf(&full);
    return BandedScreenCopy::Target{dest.size(), displayMode_, colour,
                                    colour ? DisplayColour::generation() : 0};
}

void CShowView::extendFullCopy() {
    // The smaller decode's bands come first.
    if (bands_.active())
        return;
    fullDecode_.withDecodedRows([this](const imaging::Bitmap& full, int rows) {
        if (const auto target = fullCopyTarget(full))
            fullCopy_.extend(full, rows, *target);
    });
}

imaging::Bitmap CShowView::takeFullPicture() {
    int rc = imaging::result::kSuccess;
    imaging::Bitmap full = fullDecode_.finish(rc);
    // Same place, sharper pixels: nothing moves on screen.
    const std::optional<BandedScreenCopy::Target> target =
        rc >= 1 ? fullCopyTarget(full) : std::nullopt;
    dropScreenCopies();
    if (target)
        screen_ = {fullCopy_.finish(full, *target),
                   full.bits(),
                   QSize(full.width(), full.height()),
                   target->displayMode,
                   target->colour,
                   target->generation};
    fullCopy_.reset();
    preview_.free();
    update();
    if (rc < 1)
        emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
    if (const std::optional<Step> held = std::exchange(heldReadAhead_, std::nullopt))
        postReadAhead(*held);
    emit sharpened();
    return full;
}

void CShowView::dropFullDecode() {
    if (!fullDecode_.running())
        return;
    fullDecode_.cancel();
    emit sharpened();
}

void CShowView::dropSmallerDecode() {
    dropFullDecode();
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

} // namespace kamelo
