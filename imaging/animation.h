#pragma once

#include "bitmap.h"

#include <cstdint>
#include <vector>

namespace kamelo::imaging {

// How a frame leaves the screen before the next one is drawn (GIF values).
enum class Disposal : int { Unspecified = 0, Keep = 1, Background = 2, Previous = 3 };

struct AnimationFrame {
    Bitmap bitmap; // the whole screen at this frame; empty when frames are patches
    int delayMs = 0;
    Disposal disposal = Disposal::Unspecified;
    bool transparencyEnabled = false;
    uint32_t transparentColor = 0; // 0x00RRGGBB of the transparent index
    std::vector<uint32_t> palette; // the palette the frame was drawn with
};

// The part of the screen that differs between a frame and the one before
// it: its rectangle with the pixels before and after (rows of width x 3
// bytes, blue-green-red).
struct FramePatch {
    Rect rect;
    std::vector<uint8_t> before, after;

    static size_t bytesFor(const Rect& r) { return size_t(r.width) * 3 * size_t(r.height); }
    // Fills before or after from the screen (false when it runs out of memory).
    static bool copyOut(const Bitmap& screen, const Rect& r, std::vector<uint8_t>& to);
    static void paste(Bitmap& screen, const Rect& r, const std::vector<uint8_t>& from);
};

// Whether frames kept as patches beat frames kept as whole screens: they
// keep more frames, or the same ones in a quarter of a large amount of memory.
inline bool patchesKeepMore(int whole, size_t wholeBytes, int patched, size_t patchBytes) {
    return patched > whole ||
           (patched == whole && wholeBytes >= (size_t(256) << 20) && patchBytes * 4 <= wholeBytes);
}

// Frames of an animation with a current index that steps with wrap-around.
//
// Frames are held either as whole screens or, when that would take far more
// memory (a large screen with small changing parts), as one screen and a
// patch per frame: the screen is then handed to whoever shows it, and each
// step paints only what changed.
class AnimatedBitmap {
public:
    int frameCount() const { return static_cast<int>(frames_.size()); }
    bool empty() const { return frames_.empty(); }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index);
    const AnimationFrame& current() const { return frames_[current_]; }
    const AnimationFrame& frame(int index) const { return frames_[index]; }
    // Step forward / back, wrapping at the ends; return the new index. These
    // move the index only: advance() also paints.
    int next();
    int previous();

    void clear();
    void append(AnimationFrame frame) { frames_.push_back(std::move(frame)); }

    // Frames kept as patches: the screen shows frame 0, patches[i] leads
    // from frame i - 1 to frame i (patches[0] is empty), and every frame's
    // bitmap is empty.
    void setPatches(Bitmap screen, std::vector<FramePatch> patches);
    bool patched() const { return patched_; }

    // Puts the current frame into shown: a copy of its screen, or, when the
    // frames are patches, the screen itself, which later steps paint on.
    void present(Bitmap& shown);
    // Steps forward or back with wrap-around and updates shown. A shown
    // picture of another size (it was replaced) is left as it is.
    void advance(Bitmap& shown, bool forward);

    // Frames of the file that were not decoded because the whole animation
    // would not fit its memory budget; the ones held play on their own.
    int framesLeftOut() const { return framesLeftOut_; }
    void setFramesLeftOut(int count) { framesLeftOut_ = count; }

private:
    std::vector<AnimationFrame> frames_;
    std::vector<FramePatch> patches_;
    Bitmap screen_;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    bool patched_ = false;
    int current_ = 0;
    int framesLeftOut_ = 0;
};

} // namespace kamelo::imaging
