#include "animation.h"

#include <cstring>
#include <new>

namespace kamelo::imaging {

bool FramePatch::copyOut(const Bitmap& screen, const Rect& r, std::vector<uint8_t>& to) {
    try {
        to.resize(bytesFor(r));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t rowBytes = size_t(r.width) * 3;
    for (int y = 0; y < r.height; ++y)
        std::memcpy(to.data() + y * rowBytes, screen.row(r.y + y) + size_t(r.x) * 3, rowBytes);
    return true;
}

void FramePatch::paste(Bitmap& screen, const Rect& r, const std::vector<uint8_t>& from) {
    const size_t rowBytes = size_t(r.width) * 3;
    if (from.size() < bytesFor(r))
        return;
    for (int y = 0; y < r.height; ++y)
        std::memcpy(screen.row(r.y + y) + size_t(r.x) * 3, from.data() + y * rowBytes, rowBytes);
}

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
    patches_.clear();
    screen_.free();
    screenWidth_ = screenHeight_ = 0;
    patched_ = false;
    current_ = 0;
    framesLeftOut_ = 0;
}

void AnimatedBitmap::setPatches(Bitmap screen, std::vector<FramePatch> patches) {
    screenWidth_ = screen.width();
    screenHeight_ = screen.height();
    screen_ = std::move(screen);
    patches_ = std::move(patches);
    patches_.resize(frames_.size());
    patched_ = true;
    current_ = 0;
}

void AnimatedBitmap::present(Bitmap& shown) {
    if (frames_.empty())
        return;
    if (!patched_) {
        shown = frames_[current_].bitmap;
        return;
    }
    if (screen_.isAllocated())
        shown = std::move(screen_);
    screen_.free();
}

void AnimatedBitmap::advance(Bitmap& shown, bool forward) {
    if (frames_.empty())
        return;
    if (!patched_) {
        forward ? next() : previous();
        shown = frames_[current_].bitmap;
        return;
    }
    const int last = frameCount() - 1;
    const bool paint = shown.width() == screenWidth_ && shown.height() == screenHeight_;
    auto forwardTo = [&](int i) {
        if (paint)
            FramePatch::paste(shown, patches_[i].rect, patches_[i].after);
    };
    auto backFrom = [&](int i) {
        if (paint)
            FramePatch::paste(shown, patches_[i].rect, patches_[i].before);
    };
    if (forward) {
        if (current_ == last) {
            for (int i = last; i >= 1; --i)
                backFrom(i);
            current_ = 0;
        } else {
            forwardTo(++current_);
        }
    } else {
        if (current_ == 0) {
            for (int i = 1; i <= last; ++i)
                forwardTo(i);
            current_ = last;
        } else {
            backFrom(current_--);
        }
    }
}

} // namespace kamelo::imaging
