#include "showview.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "base/uisettings.h"
#include "core/zoomrules.h"
#include "imaging/colour/displaycolour.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "readaheadworker.h"
#include "resources/qtstrings.h"
#include "screencolour.h"
#include "viewer/eyedoc.h"

#include <QFileInfo>
#include <QTimer>

#include <utility>

namespace kamelo {

using imaging::colour::DisplayColour;

// The slide show: slides laid out ahead, stepped by the timer or the keys.
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
    // A picture too large for one bitmap was a slide from a smaller decode:
    // shown as the view shows it, so nothing edits or saves that decode.
    if (doc_.displayedNow().isAllocated() && LargeTiles::isLarge(doc_.list().currentPath()))
        loadPicture(doc_.list().current());
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
    stepList(list, step);
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
        // A picture too large for one bitmap shows as large as fits one;
        // the show's end loads it again the viewer's way.
        imaging::LoadOptions options;
        options.mayReduce = true;
        loaded = imaging::PictureFile::load(path, picture, options) >= 1 &&
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
