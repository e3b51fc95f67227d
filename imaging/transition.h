#pragma once

#include <QImage>

#include <vector>

namespace kamelo::imaging {

// The slide show's scene changes: one frame of a change from one picture to
// another, both already laid out at the view's size (Format_RGB32). The
// slide show and the preview of its settings page draw every frame here.
//
// An effect is its number and two fields whose meaning depends on it:
//
//   1000  none           a cut: "to" as soon as the change starts.
//   1038  cross-fade     "from" fades out over "to"; the fields are unused.
//   5000  push           "to" pushes "from" out of the view.
//                        third: direction, (third - 1) mod 4: 0 enters at the
//                        right, 1 at the left, 2 at the bottom, 3 at the top.
//                        fourth: strips (1..64) cut across the motion; each
//                        strip moves against its neighbours.
//   12005 pixel          "from" breaks up into ever larger blocks of one
//                        colour (each the colour at its centre), becomes
//                        "to" at the coarsest, which then sharpens again.
//                        third: the coarsest block side in percent of the
//                        view's shorter side (1..50).
//                        fourth: the exponent of the block-size ramp (1..4;
//                        1 linear, larger stays fine longer).
//   2070  four ways      the view cut into a grid of tiles, each moving
//                        along the diagonal of its quarter of the view.
//                        third: odd, the tiles of "to" fly in from the four
//                        corners over "from"; even, the tiles of "from" fly
//                        out to the four corners uncovering "to".
//                        fourth: tiles per side (1..16, made even); outer
//                        tiles move first.
//   15000 circle         circles centred in a grid of cells.
//                        third: odd, "to" grows inside them (opening);
//                        even, "from" shrinks inside them (closing).
//                        fourth: cells per side (1..16).
//   3001  rectangle      as the circle with rectangles of the cells' shape.
//   11000 blinds         slats that turn from "from" to "to".
//                        third: slats (1..200).
//                        fourth: (fourth - 1) mod 4: 0 horizontal slats
//                        opening downwards, 1 vertical slats opening to the
//                        right, 2 horizontal slats opening from their middle,
//                        3 vertical slats opening from their middle.
//   10000 pixel drop     square blocks of "to" drop into place one by one,
//                        the lower rows landing first.
//                        third: block side in pixels (1..256).
//                        fourth: (fourth - 1) mod 4: 0 they fall from the
//                        top, 1 rise from the bottom, 2 come from the left,
//                        3 from the right.
// Any other number is a cut.
class Transition {
public:
    static constexpr int kNone = 1000;
    static constexpr int kFade = 1038;
    static constexpr int kPush = 5000;
    static constexpr int kPixel = 12005;
    static constexpr int kFourWays = 2070;
    static constexpr int kCircle = 15000;
    static constexpr int kRectangle = 3001;
    static constexpr int kBlinds = 11000;
    static constexpr int kPixelDrop = 10000;
    // Entries of the effect list (settings "Effect 0".."Effect 7").
    static constexpr int kEffectCount = 8;

    struct Effect {
        int number = kNone;
        int third = 15;
        int fourth = 1;
    };

    // The effect number of an effect list entry (0..7), kNone otherwise.
    static int effectNumber(int index);
    // The fields the slide show uses for an effect number.
    static Effect showEffect(int number);
    // The fields the settings page's preview uses for an effect list entry
    // (-1 or out of range: none).
    static Effect previewEffect(int index);

    // Composes the frame at progress 0..1 (0 is "from", 1 is "to") into out,
    // which is (re)allocated at the size of from. from and to must be
    // Format_RGB32 of the same size; false (out untouched) when they are not.
    static bool compose(const Effect& effect, double progress, const QImage& from, const QImage& to,
                        QImage& out);

    // The opacities of the cross-fade's old picture, frame by frame: 255,
    // 255 - step, ... while above floor, then 0.
    static std::vector<int> fadeOpacities(int step, int floor);
    // The progress at which the cross-fade shows the old picture with
    // this opacity.
    static double progressForOpacity(int opacity);
    // The slide show's steps: the cross-fade's opacity every display frame
    // (255, 249, ... 9, 0), and the same number of frames for the others.
    static std::vector<double> showSchedule();
    // The settings page's preview: 255, 245, ... 15, 0.
    static std::vector<double> previewSchedule();
};

} // namespace kamelo::imaging
