#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli adjust [--levels B,G,W[,OB,OW]] [--red|--green|--blue ...]
// [--auto-colour | --auto-contrast | --grey] [--sharpen N | --blur R |
// --unsharp A,R,T] [--out DIR] [--overwrite] FILE...: the colour and
// sharpness tools on files, through the batch core.
int runAdjustCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err);

// kamelo-cli crop --rect X,Y,W,H [--out DIR] [--overwrite] FILE...
int runCropCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err);

} // namespace kamelo
