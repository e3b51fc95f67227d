#include "showview.h"

#include "base/uisettings.h"
#include "imaging/orientation.h"
#include "imaging/result.h"
#include "largelevels.h"
#include "readaheadworker.h"
#include "resources/qtstrings.h"
#include "viewer/eyedoc.h"

#include <QPainter>
#include <QTimer>

#include <utility>

namespace kamelo {

// Pictures too large for one bitmap (panoramas, scans): the view shows a
// smaller decode of the whole picture in the full picture's place, so the
// zoom, the status line and the pan work in true pixels, and reads tiles
// of the part on screen from the file where the zoom needs more than the
// smaller decode has. The doc holds no picture meanwhile: edits, saves and
// conversions find none and are refused.

void CShowView::makeLargeTiles() {
    large_ = std::make_unique<LargeTiles>();
    connect(large_.get(), &LargeTiles::fittedReady, this, &CShowView::largeFittedReady);
    // The whole picture's decode takes seconds: the status line shows how far.
    connect(large_.get(), &LargeTiles::fittedProgress, this, [this](int percent) {
        if (largeLoading_)
            emit progress(percent);
    });
    connect(large_.get(), &LargeTiles::tilesReady, this, qOverload<>(&QWidget::update));
}

bool CShowView::showsLargePicture() const {
    return large_ && large_->isOpen() && !bands_.active() && !doc_.displayedNow().isAllocated();
}

bool CShowView::loadLarge(const std::string& path, int index,
                          const PictureSource::Identity& identity, int& rc) {
    closeLarge();
    QSize stored;
    if (gif_.animated() || !LargeTiles::isLarge(path, &stored))
        return false;
    // Shown upright as any picture: the tiles are turned as they are cut.
    const int orientation =
        picturesUpright() ? imaging::Orientation::read(path) : imaging::Orientation::kUpright;
    const QSize full = imaging::Orientation::swapsSides(orientation) ? stored.transposed() : stored;
    // The picture going gives its memory back now: this one wants it.
    readAhead_->recycle(std::move(doc_.displayed()));
    doc_.displayed().free();
    doc_.setPictureProfile(nullptr);
    // A full decode of the picture before may still post its end.
    ++fullGeneration_;
    fullSize_ = full;
    largeLevel_ = largeview::fittedLevel(full.width(), full.height());
    large_->open(path, stored, orientation);
    large_->startFitted(largeLevel_);
    largeLoading_ = true;
    largeSharp_ = false;
    zoom_.prepare(full, size());
    armLargeRefusal();
    rc = showLoaded(path, index, identity);
    return true;
}

void CShowView::closeLarge() {
    if (!large_ || !large_->isOpen())
        return;
    ++largeGeneration_;
    large_->close();
    preview_.free();
    largeRefused_ = false;
    largeSharp_ = true;
    if (std::exchange(largeLoading_, false))
        emit progress(0); // the load is left: whoever waits for its end goes on
}

void CShowView::largeFittedReady() {
    imaging::Bitmap fitted;
    int rc = imaging::result::kSuccess;
    if (!large_->takeFitted(fitted, rc))
        return;
    largeLoading_ = false;
    if (rc < 1) {
        closeLarge();
        update();
        emit progress(0);
        emit loadFailed(QString::fromUtf8(res::format(res::IDS_MSG_LOAD_FAILED_CODE, rc)));
        return;
    }
    doc_.setPictureProfile(fitted.colourProfile());
    preview_ = std::move(fitted);
    dropScreenCopies();
    updateCursor();
    update();
    emit progress(100);
}

void CShowView::armLargeRefusal() {
    doc_.setPictureCompleter([this] {
        refuseLarge();
        return imaging::Bitmap();
    });
}

void CShowView::refuseLarge() {
    if (!std::exchange(largeRefused_, true))
        emit notice(QString::fromUtf8(
            res::format(res::IDS_MSG_LARGE_VIEW_ONLY, fullSize_.width(), fullSize_.height())));
    // Asked for again by the next command, not by the rest of this one.
    QTimer::singleShot(0, this, [this, generation = largeGeneration_] {
        if (generation == largeGeneration_ && showsLargePicture() && !doc_.pictureOnItsWay())
            armLargeRefusal();
    });
}

void CShowView::paintLargeDetail(QPainter& p, const ViewPainter::Scene& s) const {
    if (s.dest.isEmpty() || fullSize_.isEmpty())
        return;
    const double factor = double(s.dest.width()) / fullSize_.width();
    const int level = largeview::tileLevel(factor, largeLevel_);
    if (level == 0) {
        largeSharp_ = true;
        return;
    }
    // Tiles are made in the screen's colours, as the smaller decode is shown.
    large_->setColour(s.colour, s.colourGeneration);
    const QRect exposed = s.exposed.isEmpty() ? s.client : s.exposed;
    const bool smooth = !s.dragging && s.displayMode >= 1;
    largeSharp_ = large_->paint(p, s.dest, s.client, exposed, level, smooth);
}

} // namespace kamelo
