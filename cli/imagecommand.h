#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

// "kamelo-cli info FILE..." prints one tab-separated line per file: path,
// format, width, height, bits per pixel, frames, compression, size on disk.
// Exit code 0 when every file was read, 1 otherwise.
int runInfoCommand(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

// "kamelo-cli resave IN OUT [--quality-factor N]": loads IN at 24 bits and
// writes OUT in the format its extension names.
int runResaveCommand(const std::vector<std::string>& args, std::ostream& err);

} // namespace kamelo
