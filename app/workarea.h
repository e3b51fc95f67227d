#pragma once

#include <QRect>

namespace kamelo {

// The primary screen's area without panels, where both frames are placed.
QRect workArea();

} // namespace kamelo
