#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

namespace kamelo::acquire {

// The four answers of the name clash dialog, in its order.
enum class ClashChoice { Rename = 0, Skip = 1, Overwrite = 2, Stop = 3 };

// What one run does about destinations that already exist. The first clash
// with a file that was there before the run is asked and the answer holds
// for the rest of the run; a clash with a file this run wrote is always
// settled by a new name, so no file of the run is ever replaced.
class ClashState {
public:
    enum class Action { Write, Replace, Skip, Stop };
    struct Resolution {
        Action action = Action::Write;
        std::string path; // where to write (Write, Replace)
    };
    using Exists = std::function<bool(const std::string&)>;
    using Ask = std::function<ClashChoice(const std::string& existing)>;

    Resolution resolve(const std::string& destination, const Exists& exists, const Ask& ask);
    // A file of this run now stands at path.
    void noteWritten(const std::string& path) { written_.insert(path); }
    bool writtenThisRun(const std::string& path) const { return written_.count(path) != 0; }
    std::optional<ClashChoice> heldChoice() const { return choice_; }

    // "_" put before the file title until no file has the name.
    static std::string freeName(const std::string& path, const Exists& exists);

private:
    std::optional<ClashChoice> choice_;
    std::set<std::string> written_;
};

} // namespace kamelo::acquire
