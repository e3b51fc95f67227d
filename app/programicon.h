#pragma once

#include <QIcon>

namespace kamelo {

// The program's icon at every size the desktop theme gets (scripts/make-icons.py),
// for the windows, so that title bars and task lists show what the
// application menu shows.
QIcon programIcon();

} // namespace kamelo
