#pragma once

#include <vector>

namespace kamelo::edit {

// The rotate tool's operations, one code per picture.
enum class RotateCode : int {
    None = 0,
    Left = 1,     // a quarter turn to the left
    HalfTurn = 2, // 180 degrees
    Right = 3,    // a quarter turn to the right
    Auto = 4,     // upright by the file's EXIF orientation
    MirrorLeftRight = 5,
    MirrorTopBottom = 6,
    RightDiagonal = 7, // right, then mirrored left to right
    LeftDiagonal = 8,  // left, then mirrored left to right
};

// One step on the bitmap: a turn in hundredths of a degree (positive to the
// right), or a mirror.
struct RotateStep {
    enum class Kind { Turn, Reverse, Flip };
    Kind kind = Kind::Turn;
    int angle = 0;
    bool operator==(const RotateStep&) const = default;
};

class RotateRules {
public:
    static constexpr int kCodeCount = 9;
    static bool valid(int code) { return code >= 0 && code < kCodeCount; }

    // What a code does; Auto and None have no fixed steps.
    static std::vector<RotateStep> steps(RotateCode code);
    // What "원래 그림으로" does to take the code's steps back.
    static std::vector<RotateStep> undoSteps(RotateCode code);
    // The turn that stands a picture of the EXIF orientation upright:
    // 3 -> 18000, 6 -> 9000, 8 -> -9000, anything else 0 (left alone).
    static int autoTurn(int orientation);
    // The code an automatic turn leaves as current on the viewer's picture
    // (the fixed turn it made): 2, 3 or 1; None when nothing turned.
    static RotateCode codeAfterAutoTurn(int orientation);
};

// The batch panel's buttons over n pictures.
struct RotateNavigation {
    bool previous = false;
    bool next = false;
    bool ok = false;
    static RotateNavigation at(int index, int count, bool applyToAll);
};

} // namespace kamelo::edit
