#include "planeturn.h"

#include "orientation.h"

namespace kamelo::imaging {

PlaneTurn PlaneTurn::upright(int orientation) {
    const Orientation::Steps s = Orientation::stepsFor(orientation);
    return {s.mirror, s.quarterTurns};
}

PlaneTurn PlaneTurn::then(PlaneTurn next) const {
    // A turn after a mirror is the opposite turn before it, so the second
    // mirror moves to the front past this turn, reversing it.
    const int turns =
        next.mirror_ ? next.quarterTurns_ - quarterTurns_ : next.quarterTurns_ + quarterTurns_;
    return {mirror_ != next.mirror_, turns};
}

void PlaneTurn::map(int x, int y, int width, int height, int& outX, int& outY) const {
    if (mirror_)
        x = width - 1 - x;
    switch (quarterTurns_) {
    case 1:
        outX = height - 1 - y;
        outY = x;
        break;
    case 2:
        outX = width - 1 - x;
        outY = height - 1 - y;
        break;
    case 3:
        outX = y;
        outY = width - 1 - x;
        break;
    default:
        outX = x;
        outY = y;
        break;
    }
}

} // namespace kamelo::imaging
