#pragma once

#include <string>

namespace vela {

// The replacement scripts come in two dialects: the Windows batch files
// ("UP.BAT", "REBOOT.BAT", CR LF line ends) and the POSIX shell scripts run
// on Linux ("UP.sh", "REBOOT.sh") with the same steps.
enum class ScriptDialect { Windows, Posix };

ScriptDialect nativeScriptDialect();

// "UP.BAT" / "UP.sh".
std::string updateScriptName(ScriptDialect dialect);
// "REBOOT.BAT" / "REBOOT.sh".
std::string rebootScriptName(ScriptDialect dialect);

// The bytes of one block of the update script: block `n` replaces `target`
// with the side file `side` once the program holding `target` has let go.
// Block 0 opens the script.
std::string updateScriptBlock(ScriptDialect dialect, int n, const std::string& target,
                              const std::string& side);
// The bytes of one block of the reboot script (block 0 opens it).
std::string rebootScriptBlock(ScriptDialect dialect, int m, const std::string& target,
                              const std::string& side);
// A command as it stands followed by a line end.
std::string scriptCommandLine(ScriptDialect dialect, const std::string& command);
// The run-after-update command framed by line ends.
std::string scriptFramedCommand(ScriptDialect dialect, const std::string& command);
// The last line: the script deletes itself.
std::string scriptEnding(ScriptDialect dialect);

// A path as one word of the dialect: in double quotes for batch files, in
// single quotes (each ' written '\'') for the shell.
std::string scriptQuoted(ScriptDialect dialect, const std::string& path);

// Appends bytes to a script file, creating it; false when it cannot be written.
bool appendToScript(const std::string& path, const std::string& bytes);

} // namespace vela
