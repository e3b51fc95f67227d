#include "displaycolour.h"

#include <array>
#include <atomic>
#include <mutex>

namespace kamelo::imaging::colour {

namespace {

constexpr int kScreens = 16;

struct State {
    std::mutex lock;
    bool enabled = true;
    Intent intent = Intent::Perceptual;
    std::array<ProfilePtr, kScreens> screens; // null: sRGB
    std::atomic<uint64_t> generation{1};
};

State& state() {
    static State s;
    return s;
}

const std::string& keyOf(const ProfilePtr& p) {
    static const std::string none;
    return p ? p->key() : none;
}

} // namespace

void DisplayColour::setEnabled(bool on) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (s.enabled != on) {
        s.enabled = on;
        ++s.generation;
    }
}

bool DisplayColour::enabled() {
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.enabled;
}

void DisplayColour::setIntent(Intent intent) {
    State& s = state();
    std::lock_guard guard(s.lock);
    if (s.intent != intent) {
        s.intent = intent;
        ++s.generation;
    }
}

Intent DisplayColour::intent() {
    State& s = state();
    std::lock_guard guard(s.lock);
    return s.intent;
}

bool DisplayColour::setScreenProfile(int screen, const std::vector<uint8_t>& icc) {
    if (screen < 0 || screen >= kScreens)
        return false;
    // Opened before taking the lock: lcms2 takes a moment.
    ProfilePtr profile = icc.empty() ? nullptr : IccProfile::fromBytes(icc);
    State& s = state();
    std::lock_guard guard(s.lock);
    ProfilePtr& slot = s.screens[size_t(screen)];
    if (keyOf(slot) == keyOf(profile))
        return false;
    slot = std::move(profile);
    ++s.generation;
    return true;
}

ProfilePtr DisplayColour::screenProfile(int screen) {
    State& s = state();
    std::lock_guard guard(s.lock);
    // A window on a screen not known here is shown as on the first.
    if (screen < 0 || screen >= kScreens)
        screen = 0;
    return s.screens[size_t(screen)];
}

uint64_t DisplayColour::generation() {
    return state().generation.load();
}

TransformPtr DisplayColour::toScreen(const ProfilePtr& picture, int screen) {
    State& s = state();
    ProfilePtr display;
    Intent intent;
    {
        std::lock_guard guard(s.lock);
        if (!s.enabled)
            return nullptr;
        if (screen < 0 || screen >= kScreens)
            screen = 0;
        display = s.screens[size_t(screen)];
        intent = s.intent;
    }
    // The usual case, costing nothing: an sRGB picture on an sRGB screen.
    if ((!picture || picture->isSrgb()) && (!display || display->isSrgb()))
        return nullptr;
    return ColourTransform::between(picture, display, intent);
}

TransformPtr DisplayColour::srgbToScreen(int screen) {
    return toScreen(nullptr, screen);
}

TransformPtr DisplayColour::toSrgb(const ProfilePtr& picture) {
    Intent intent;
    {
        State& s = state();
        std::lock_guard guard(s.lock);
        if (!s.enabled)
            return nullptr;
        intent = s.intent;
    }
    if (!picture || picture->isSrgb())
        return nullptr;
    return ColourTransform::between(picture, nullptr, intent);
}

void DisplayColour::reset() {
    State& s = state();
    std::lock_guard guard(s.lock);
    s.enabled = true;
    s.intent = Intent::Perceptual;
    for (ProfilePtr& p : s.screens)
        p.reset();
    ++s.generation;
}

} // namespace kamelo::imaging::colour
