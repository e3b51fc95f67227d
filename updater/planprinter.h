#pragma once

#include "updater/updateplan.h"

#include <iosfwd>
#include <string>

namespace vela {

// One line of `VelaUpdate --plan`: action, path below the installation
// folder, published size and CRC-32 (unsigned decimal), tab-separated.
std::string planLine(const UpdateEntry& entry);

// A host that changes nothing and asks nobody: it reports to the streams.
class PrintingPlanHost : public PlanHost {
public:
    PrintingPlanHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    void entryRefused(const std::string& pathName, const std::string& message) override;
    void setStepLabels(const std::string&, const std::string&, const std::string&) override {}
    bool askWriteRetry(const std::string& message) override;
    void endRun() override {}
    void showNoUpdateNotice(const std::string& message) override;
    void finish() override {}

private:
    std::ostream& out_;
    std::ostream& err_;
};

// `--plan INSTALL_DIR LIST.INI`: prints the plan; 0 when the list is usable.
int printPlan(const std::string& installDir, const std::string& listPath, std::ostream& out,
              std::ostream& err);

} // namespace vela
