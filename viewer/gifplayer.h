#pragma once

#include "imaging/animation.h"
#include "imaging/bitmap.h"

#include <QObject>
#include <QTimer>

#include <string>

namespace kamelo {

// Plays an animated GIF: holds its frames and shows them one after the
// other, each for its delay, by putting the frame into the shown bitmap
// (a copy of a whole screen, or the changed part painted over it).
class GifPlayer : public QObject {
    Q_OBJECT
public:
    explicit GifPlayer(imaging::Bitmap& shown, QObject* parent = nullptr);

    static bool isGif(const std::string& path);

    bool animated() const { return animated_; }
    int frameIndex() const { return animation_.currentIndex(); }
    int frameCount() const { return animation_.frameCount(); }
    // Frames the memory budget left out (only the first ones play).
    int framesLeftOut() const { return animation_.framesLeftOut(); }

    // A new picture: the frames and the timer go; animated tells whether the
    // new one is a GIF.
    void reset(bool animated);
    // Stops and forgets the frames (the picture left the list).
    void clear();
    // Reads the frames; the first one becomes the shown bitmap.
    int load(const std::string& path);
    // Starts the timer when there is more than one frame with a delay.
    void start();
    void step(bool forward);

signals:
    // The shown bitmap holds another frame.
    void frameShown();

private:
    void playNext();

    imaging::Bitmap& shown_;
    bool animated_ = false;
    imaging::AnimatedBitmap animation_;
    QTimer timer_;
};

} // namespace kamelo
