#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli convert --format BMP|JPG|PCX|PNG|WEBP|AVIF [--quality-factor N | --quality Q]
// [--out DIR] [--overwrite] [--jobs N] FILE...: the browser's format
// conversion without windows. One log line a file on out, progress on err;
// existing outputs are kept unless --overwrite. Exit 1 when a file failed,
// 2 on bad arguments.
int runConvertCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err);

} // namespace kamelo
