#include "gifplayer.h"

#include "imaging/picturefile.h"

#include <QFileInfo>
#include <QString>

namespace kamelo {

GifPlayer::GifPlayer(imaging::Bitmap& shown, QObject* parent) : QObject(parent), shown_(shown) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &GifPlayer::playNext);
}

bool GifPlayer::isGif(const std::string& path) {
    return QFileInfo(QString::fromStdString(path))
               .suffix()
               .compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0;
}

void GifPlayer::reset(bool animated) {
    timer_.stop();
    animation_.clear();
    animated_ = animated;
}

void GifPlayer::clear() {
    animation_.clear();
    timer_.stop();
}

int GifPlayer::load(const std::string& path) {
    imaging::AnimatedBitmap frames;
    const int r = imaging::PictureFile::loadAnimation(path, frames);
    if (r >= 1 && !frames.empty()) {
        animation_ = std::move(frames);
        animation_.present(shown_);
    }
    return r;
}

void GifPlayer::start() {
    if (animated_ && animation_.frameCount() > 1 && animation_.current().delayMs > 0)
        timer_.start(animation_.current().delayMs);
}

void GifPlayer::step(bool forward) {
    if (!animated_ || animation_.empty())
        return;
    animation_.advance(shown_, forward);
    emit frameShown();
}

void GifPlayer::playNext() {
    if (!animated_ || animation_.frameCount() < 2)
        return;
    animation_.advance(shown_, true);
    emit frameShown();
    if (animation_.current().delayMs > 0)
        timer_.start(animation_.current().delayMs);
}

} // namespace kamelo
