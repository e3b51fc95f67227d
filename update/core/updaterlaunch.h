#pragma once

#include <string>
#include <vector>

namespace kamelo::update {

// Starting the updater: it replaces the program's files, itself among them,
// so a copy of it runs.
class UpdaterLaunch {
public:
    // Copies `from` to `to` through a temporary file beside `to`, flushed to
    // disk and renamed into place; the permission bits (the executable bit)
    // go with it. false with a reason.
    static bool copyFile(const std::string& from, const std::string& to, std::string& error);

    // Starts `program` with exactly `arguments` (no shell), in `folder`, in a
    // session of its own so it outlives this process. false with a reason
    // when it could not be started (the reason of a failed exec included).
    static bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& folder, std::string& error);
};

} // namespace kamelo::update
