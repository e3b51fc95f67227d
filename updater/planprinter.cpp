#include "updater/planprinter.h"

#include "updater/paths.h"
#include "updater/updaterstrings.h"

#include <ostream>

namespace vela {

std::string planLine(const UpdateEntry& entry) {
    const char* action = entry.updateType == kUpdateReplace  ? "REPLACE"
                         : entry.updateType == kUpdateRename ? "RENAME"
                                                             : "REBOOT";
    std::string path = joinPath(entry.subFolder, entry.pathName);
    if (entry.subFolder.empty())
        path.erase(0, 1); // joined onto "" gives a leading separator
    return std::string(action) + '\t' + path + '\t' + std::to_string(entry.fileSize) + '\t' +
           std::to_string(entry.crc);
}

void PrintingPlanHost::entryRefused(const std::string&, const std::string& message) {
    err_ << message << '\n';
}

bool PrintingPlanHost::askWriteRetry(const std::string& message) {
    err_ << message << '\n';
    return false;
}

void PrintingPlanHost::showNoUpdateNotice(const std::string& message) {
    err_ << message << '\n';
}

int printPlan(const std::string& installDir, const std::string& listPath, std::ostream& out,
              std::ostream& err) {
    PrintingPlanHost host(out, err);
    UpdatePlan plan;
    PlanOptions options;
    options.createSubFolders = false;
    options.writeCheck = false;
    if (!buildPlan(listPath, installDir, TransportMode{}, plan, host, options)) {
        err << text(Str::STR_LIST_READ_ERROR) << '\n';
        return 1;
    }
    for (const auto& entry : plan.entries)
        out << planLine(entry) << '\n';
    return 0;
}

} // namespace vela
