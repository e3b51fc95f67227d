#include "rotatecode.h"

namespace kamelo::edit {

namespace {
RotateStep turn(int angle) {
    return {RotateStep::Kind::Turn, angle};
}
RotateStep reverse() {
    return {RotateStep::Kind::Reverse, 0};
}
RotateStep flip() {
    return {RotateStep::Kind::Flip, 0};
}
} // namespace

std::vector<RotateStep> RotateRules::steps(RotateCode code) {
    switch (code) {
    case RotateCode::Left:
        return {turn(-9000)};
    case RotateCode::HalfTurn:
        return {turn(18000)};
    case RotateCode::Right:
        return {turn(9000)};
    case RotateCode::MirrorLeftRight:
        return {reverse()};
    case RotateCode::MirrorTopBottom:
        return {flip()};
    case RotateCode::RightDiagonal:
        return {turn(9000), reverse()};
    case RotateCode::LeftDiagonal:
        return {turn(-9000), reverse()};
    case RotateCode::None:
    case RotateCode::Auto:
        break;
    }
    return {};
}

std::vector<RotateStep> RotateRules::undoSteps(RotateCode code) {
    switch (code) {
    case RotateCode::Left:
        return {turn(9000)};
    case RotateCode::HalfTurn:
        return {turn(18000)};
    case RotateCode::Right:
        return {turn(-9000)};
    case RotateCode::MirrorLeftRight:
        return {reverse()};
    case RotateCode::MirrorTopBottom:
        return {flip()};
    case RotateCode::RightDiagonal:
        return {reverse(), turn(-9000)};
    case RotateCode::LeftDiagonal:
        return {reverse(), turn(9000)};
    case RotateCode::None:
    case RotateCode::Auto:
        break;
    }
    return {};
}

int RotateRules::autoTurn(int orientation) {
    switch (orientation) {
    case 3:
        return 18000;
    case 6:
        return 9000;
    case 8:
        return -9000;
    default:
        return 0;
    }
}

RotateCode RotateRules::codeAfterAutoTurn(int orientation) {
    switch (orientation) {
    case 3:
        return RotateCode::HalfTurn;
    case 6:
        return RotateCode::Right;
    case 8:
        return RotateCode::Left;
    default:
        return RotateCode::None;
    }
}

RotateNavigation RotateNavigation::at(int index, int count, bool applyToAll) {
    RotateNavigation n;
    n.previous = index > 0 && !applyToAll;
    n.next = index < count - 1 && !applyToAll;
    n.ok = !n.next;
    return n;
}

} // namespace kamelo::edit
