#pragma once

namespace kamelo::imaging {

// One of the eight ways a picture can be turned in quarter turns and
// mirrored. Held as the EXIF orientation rule holds it: mirror left to right
// first when asked, then turn clockwise by the number of quarter turns.
class PlaneTurn {
public:
    constexpr PlaneTurn() = default;
    constexpr PlaneTurn(bool mirror, int quarterTurns)
        : mirror_(mirror), quarterTurns_(((quarterTurns % 4) + 4) % 4) {}

    static constexpr PlaneTurn none() { return {}; }
    static constexpr PlaneTurn right() { return {false, 1}; }
    static constexpr PlaneTurn half() { return {false, 2}; }
    static constexpr PlaneTurn left() { return {false, 3}; }
    static constexpr PlaneTurn mirrorLeftRight() { return {true, 0}; }
    static constexpr PlaneTurn mirrorTopBottom() { return {true, 2}; }
    // Across the top-left to bottom-right diagonal.
    static constexpr PlaneTurn transpose() { return {true, 3}; }
    // Across the top-right to bottom-left diagonal.
    static constexpr PlaneTurn transverse() { return {true, 1}; }
    // What stands a picture of that EXIF orientation upright; none for
    // values outside 2-8.
    static PlaneTurn upright(int orientation);

    bool mirror() const { return mirror_; }
    int quarterTurns() const { return quarterTurns_; }
    bool isNone() const { return !mirror_ && quarterTurns_ == 0; }
    // Width and height trade places.
    bool swapsSides() const { return quarterTurns_ % 2 != 0; }
    // This turn followed by next, as one turn.
    PlaneTurn then(PlaneTurn next) const;
    // Where the pixel (x, y) of a width x height picture lands.
    void map(int x, int y, int width, int height, int& outX, int& outY) const;

    bool operator==(const PlaneTurn&) const = default;

private:
    bool mirror_ = false;
    int quarterTurns_ = 0;
};

} // namespace kamelo::imaging
