#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli resize (--percent P | --width W | --height H | --size WxH)
// [--method bicubic|resample|normal] [--out DIR] [--overwrite] [--jobs N] FILE...
// and kamelo-cli rotate (--code N | --left | --right | --half | --mirror |
// --flip | --auto) [--out DIR] [--overwrite] [--jobs N] FILE...: the browser's
// batch resize and rotate without windows. In place without --out. One log
// line a file on out, progress on err. Exit 1 when a file failed, 2 on bad
// arguments.
int runResizeCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err);
int runRotateCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err);

} // namespace kamelo
