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
// kamelo-cli cache show DIR: the cached records of a folder, one a line with
// tab-separated fields; names are written with escapeCacheText.
int runCacheCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                    std::ostream& err);
// A name as "cache show" writes it: a backslash, newline or tab in it becomes
// the two characters \\, \n or \t, so every record stays on one line.
std::string escapeCacheText(const std::string& text);

} // namespace kamelo
