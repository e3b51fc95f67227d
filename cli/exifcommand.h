#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

// kamelo-cli exif [--raw] FILE...: the 21 rows as the dialog shows them
// ("label<TAB>value"), or with --raw the parser's record.
int runExifCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kamelo
