#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kamelo {

class SettingsStore;

// kamelo-cli print (--pdf OUT | --printer NAME) [--sheet CxR] [--size SIZE]
// [--margins L,T,R,B] [--header T] [--footer T] [--caption T] [--copies N]
// FILE...: prints as the print dialog would, every other setting from the
// section "Print". 0 printed, 1 a picture could not be read (the rest
// printed), 2 refused or nothing printed.
int runPrintCommand(const SettingsStore& store, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err);

} // namespace kamelo
