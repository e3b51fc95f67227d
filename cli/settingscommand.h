#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// "kamelo-cli settings ...": reads and writes the program's settings store.
//   get SECTION KEY
//   set SECTION KEY VALUE [--int|--string]
//   delete SECTION [KEY]
//   dump
// Returns the process exit code: 0 done, 1 value missing or not written,
// 2 usage error.
int runSettingsCommand(SettingsStore& store, const std::vector<std::string>& args,
                       std::ostream& out, std::ostream& err);

} // namespace kamelo
