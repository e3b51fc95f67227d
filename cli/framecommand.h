#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli frame [--skin NAME] [--skin-dir DIR] [tag and text options]
// (--out FILE | --out-dir DIR) [--overwrite] [--jobs N] FILE..., kamelo-cli
// frame --list and kamelo-cli text (the same without a skin): the frame
// tool's batch run without windows. One log line a file on out, progress on
// err. Exit 1 when a file failed, 2 on bad arguments or a skin that cannot
// be drawn (nothing is written then).
int runFrameCommand(SettingsStore& store, bool textOnly, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err);

} // namespace kamelo
