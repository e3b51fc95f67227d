#include "overwritestate.h"

namespace kamelo::edit {

OverwriteState::Decision OverwriteState::decide(bool destinationExists) const {
    if (!destinationExists || yesToAll_)
        return Decision::Write;
    return noToAll_ ? Decision::Skip : Decision::Ask;
}

bool OverwriteState::answer(OverwriteAnswer a) {
    switch (a) {
    case OverwriteAnswer::YesToAll:
        yesToAll_ = true;
        return true;
    case OverwriteAnswer::Yes:
        return true;
    case OverwriteAnswer::NoToAll:
        noToAll_ = true;
        return false;
    case OverwriteAnswer::No:
    case OverwriteAnswer::Closed:
        return false;
    }
    return false;
}

} // namespace kamelo::edit
