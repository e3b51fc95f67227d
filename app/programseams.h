#pragma once

#include "app/frameseams.h"

namespace kamelo {

namespace update {
class UpdateCheck;
}

// The installed program's start-up: the frames, the update check against
// the maker's server and the file association check.
class ProgramSeams : public FrameSeams {
public:
    // Ends the update checks still running, while Qt is there for them.
    ~ProgramSeams() override;
    int runStartupUpdateCheck(CEyeApp& app, bool testConnection, bool throttle) override;
    void runFileAssociationCheck(CEyeApp& app) override;

    // The browser frame's update check (made on first use); its comparison
    // ends with the association check when that is due.
    static update::UpdateCheck* updateCheck(CEyeApp& app);
};

} // namespace kamelo
