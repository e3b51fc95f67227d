#pragma once

#include <string>

namespace kamelo::desktop {

// The absolute path of the running program (links resolved).
std::string runningProgramPath();

} // namespace kamelo::desktop
