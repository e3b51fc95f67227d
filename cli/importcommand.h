#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

// kamelo-cli import SRC DEST [--rule 0|1|2] [--group NAME] [--date-format 0|1]
// [--no-rotate] [--delete-source] [--clash rename|skip|overwrite|stop]: the
// import wizard's copy run without windows. One line a file on out, the
// counts at the end. Exit 1 when a file was not imported (failed, stopped),
// 2 on bad arguments.
int runImportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kamelo
