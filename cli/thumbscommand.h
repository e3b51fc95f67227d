#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli thumbs DIR [--no-stamp]: lists the folder, makes every
// thumbnail with the program's loader and stores the folder cache, as the
// browser does, without a window.
int runThumbsCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err);
// kamelo-cli cache show DIR: the cached records of a folder.
int runCacheCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err);

} // namespace kamelo
