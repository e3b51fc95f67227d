#pragma once

#include <string>

namespace kamelo {

enum class DropEffect { None, Copy, Move };

// What dropping files onto a folder of the list does: copy with Ctrl held;
// otherwise nothing when the first file already lies in that folder or is
// the folder itself, else move.
DropEffect dropEffect(const std::string& firstSource, const std::string& targetFolder,
                      bool controlHeld);

} // namespace kamelo
