#include "updater/finishrun.h"

#include "updater/commandline.h"
#include "updater/fileplace.h"
#include "updater/paths.h"
#include "updater/profile.h"
#include "updater/updaterstrings.h"

namespace vela {

namespace {

std::string trimmedBlanks(const std::string& s) {
    size_t from = s.find_first_not_of(' ');
    if (from == std::string::npos)
        return {};
    size_t to = s.find_last_not_of(' ');
    return s.substr(from, to - from + 1);
}

} // namespace

std::vector<std::string> scriptCommand(ScriptDialect dialect, const std::string& scriptPath) {
    if (dialect == ScriptDialect::Windows)
        return {scriptPath};
    return {"/bin/sh", scriptPath};
}

void finishRun(const FinishContext& context, const InstallState& state, FinishHost& host,
               SystemActions& system) {
    ProfileFile list;
    list.load(context.localFileList);
    std::string command = list.text("GENERAL", "RUN_AFTER_UPDATE");
    const ScriptDialect dialect = context.dialect;
    const std::string upScript = joinPath(context.installFolder, updateScriptName(dialect));
    const std::string rebootScript = joinPath(context.installFolder, rebootScriptName(dialect));

    if (state.rebootScriptWritten) {
        system.runAtNextLogon(rebootScript);
        appendToScript(rebootScript, scriptEnding(dialect));
        if (host.askRebootNow(std::string(text(Str::STR_REBOOT_QUESTION)))) {
            if (state.updateScriptWritten) {
                appendToScript(upScript, scriptFramedCommand(dialect, command));
                appendToScript(upScript, scriptEnding(dialect));
                system.runAtNextLogon(upScript);
            }
            host.cleanup();
            host.showMessage(std::string(text(Str::STR_CLOSE_WINDOWS)));
            system.requestReboot();
            host.closeRun(true);
            return;
        }
    }

    command = trimmedBlanks(command);
    if (state.updateScriptWritten) {
        // The program to restart waits for the script, which replaces its files.
        const std::string last = !command.empty() ? command
                                 : context.programToRestart.empty()
                                     ? std::string()
                                     : scriptQuoted(dialect, context.programToRestart);
        if (!last.empty())
            appendToScript(upScript, scriptCommandLine(dialect, last));
        appendToScript(upScript, scriptEnding(dialect));
        system.startDetached(scriptCommand(dialect, upScript));
    } else if (!context.programToRestart.empty()) {
        system.startDetached({context.programToRestart});
    } else if (!command.empty()) {
        const auto argv = splitCommandLine(command);
        if (!argv.empty())
            system.startDetached(argv);
    }
    host.closeRun(true);
}

std::vector<std::string> selfRestartCommand(const UpdatePlan& plan,
                                            const std::string& installFolder,
                                            const std::string& ownProgram,
                                            const std::vector<std::string>& ownArguments) {
    std::string program = ownProgram;
    for (const auto& e : plan.entries) {
        if (!equalsNoCase(e.pathName, "VelaUpdate"))
            continue;
        program = makeTildeTempName(installFolder);
        if (program.empty() || !copyProgram(destinationOf(installFolder, e), program))
            return {};
        break;
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), ownArguments.begin(), ownArguments.end());
    return argv;
}

} // namespace vela
