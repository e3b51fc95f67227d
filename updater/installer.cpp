#include "updater/installer.h"

#include "updater/beneath.h"
#include "updater/fileplace.h"
#include "updater/paths.h"
#include "updater/updaterstrings.h"

#include <unistd.h>

namespace vela {

namespace {

// Moves the download beside the destination as its side file, asking until
// it works. False when the user cancels.
bool placeSideFile(const std::string& root, const std::string& source, const std::string& side,
                   InstallHost& host) {
    removeFileBeneath(root, side);
    while (!placeFile(root, source, side)) {
        if (!host.askWriteRetry(formatText(Str::STR_WRITE_DENIED, {side})))
            return false;
    }
    return true;
}

} // namespace

std::string downloadedFileOf(const std::string& tempFolder, const UpdateEntry& entry) {
    return joinPath(tempFolder, entry.pathName);
}

InstallOutcome installAll(const UpdatePlan& plan, const InstallContext& context,
                          InstallState& state, InstallHost& host) {
    InstallOutcome outcome;
    const ScriptDialect dialect = context.dialect;
    const std::string upScript = joinPath(context.installFolder, updateScriptName(dialect));
    const std::string rebootScript = joinPath(context.installFolder, rebootScriptName(dialect));
    const auto cancelFrom = [&](size_t i) {
        for (size_t k = i; k < plan.entries.size(); ++k)
            outcome.notUpdated.push_back(plan.entries[k].pathName);
        return outcome;
    };

    for (size_t i = 0; i < plan.entries.size(); ++i) {
        if (i > 0 && context.afterEntry)
            context.afterEntry(i - 1);
        const UpdateEntry& e = plan.entries[i];
        const std::string source = downloadedFileOf(context.tempFolder, e);
        const std::string target = destinationOf(context.installFolder, e);
        if (e.updateType == kUpdateReplace) {
            while (!placeFile(context.installFolder, source, target)) {
                if (!host.askWriteRetry(formatText(Str::STR_WRITE_DENIED, {target})))
                    return cancelFrom(i);
            }
            continue;
        }
        if (placeFile(context.installFolder, source, target))
            continue;
        const std::string side = target + ".new";
        if (!placeSideFile(context.installFolder, source, side, host))
            return cancelFrom(i);
        if (e.updateType == kUpdateRename) {
            if (state.updateBlocks == 0)
                ::unlink(upScript.c_str());
            appendToScript(upScript, updateScriptBlock(dialect, state.updateBlocks, target, side));
            ++state.updateBlocks;
            state.updateScriptWritten = true;
            continue;
        }
        if (!e.runBeforeReboot.empty())
            host.runCommand(e.runBeforeReboot);
        if (state.rebootBlocks == 0)
            ::unlink(rebootScript.c_str());
        appendToScript(rebootScript, rebootScriptBlock(dialect, state.rebootBlocks, target, side));
        ++state.rebootBlocks;
        state.rebootScriptWritten = true;
        if (!e.runAfterReboot.empty())
            appendToScript(rebootScript, scriptCommandLine(dialect, e.runAfterReboot));
    }
    outcome.completed = true;
    return outcome;
}

} // namespace vela
