#pragma once

#include "edit/core/rotatecode.h"

#include <QIcon>

namespace kamelo::edit {

// The rotate panel's button pictures: a letter F on a page, shown as each
// operation leaves it, so the picture says what the button does.
class RotateIcons {
public:
    static QIcon forCode(RotateCode code);
    static QIcon original();
};

} // namespace kamelo::edit
