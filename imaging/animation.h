#pragma once

#include "bitmap.h"

#include <cstdint>
#include <vector>

namespace kamelo::imaging {

// How a frame leaves the screen before the next one is drawn (GIF values).
enum class Disposal : int { Unspecified = 0, Keep = 1, Background = 2, Previous = 3 };

struct AnimationFrame {
    Bitmap bitmap; // the whole screen as a viewer shows it at this frame
    int delayMs = 0;
    Disposal disposal = Disposal::Unspecified;
    bool transparencyEnabled = false;
    uint32_t transparentColor = 0; // 0x00RRGGBB of the transparent index
    std::vector<uint32_t> palette; // the palette the frame was drawn with
};

// Frames of an animation with a current index that steps with wrap-around.
class AnimatedBitmap {
public:
    int frameCount() const { return static_cast<int>(frames_.size()); }
    bool empty() const { return frames_.empty(); }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    const AnimationFrame& current() const { return frames_[current_]; }
    const AnimationFrame& frame(int index) const { return frames_[index]; }
    // Step forward / back, wrapping at the ends; return the new index.
    int next();
    int previous();

    void clear();
    void append(AnimationFrame frame) { frames_.push_back(std::move(frame)); }

    // Frames of the file that were not decoded because the whole animation
    // would not fit its memory budget; the ones held play on their own.
    int framesLeftOut() const { return framesLeftOut_; }
    void setFramesLeftOut(int count) { framesLeftOut_ = count; }

private:
    std::vector<AnimationFrame> frames_;
    int current_ = 0;
    int framesLeftOut_ = 0;
};

} // namespace kamelo::imaging
