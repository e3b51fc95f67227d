#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

// kamelo-cli rename [--dry-run] [--start N] PATTERN FILES...: renames the
// files in the given order by the batch rename's rule, all or none. Prints
// "old -> new" per file; a refused plan prints each marked row with its
// reason and renames nothing (exit 1).
int runRenameCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kamelo
