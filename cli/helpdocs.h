#pragma once

// The manual pages and the bash completion, written from the help table so
// that they say what `--help` says.

#include "cli/commandhelp.h"

#include <string>
#include <vector>

namespace kamelo::clihelp {

// roff source of the manual page of `program`, section 1. The commands of the
// table are listed when `withCommands` is set (kamelo-cli).
std::string manPage(const Program& program, bool withCommands, const std::string& version);

// A bash completion script for kamelo-cli: commands, their sub-commands and
// options, the values of options whose argument lists them ("0|1|2"),
// folders where a command takes folders and files elsewhere.
std::string bashCompletion();
// The values an option's argument lists, "rename|skip" -> rename, skip;
// words that name a value to type ("WxH") are left out. Empty for others.
std::vector<std::string> optionValues(const Option& option);

// Text made safe for a roff text line.
std::string roffEscape(std::string_view text);

} // namespace kamelo::clihelp
