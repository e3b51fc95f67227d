#include "animation.h"

namespace kamelo::imaging {

void AnimatedBitmap::setCurrentIndex(int index) {
    if (index >= 0 && index < frameCount())
        current_ = index;
}

int AnimatedBitmap::next() {
    if (!frames_.empty())
        current_ = (current_ + 1) % frameCount();
    return current_;
}

int AnimatedBitmap::previous() {
    if (!frames_.empty())
        current_ = current_ == 0 ? frameCount() - 1 : current_ - 1;
    return current_;
}

void AnimatedBitmap::clear() {
    frames_.clear();
    current_ = 0;
    framesLeftOut_ = 0;
}

} // namespace kamelo::imaging
