#pragma once

#include "browser/core/renameplan.h"

#include <string>
#include <utility>
#include <vector>

namespace kamelo {

// Makes a batch rename all or nothing even when the process is killed or
// the power fails part-way. Before the first rename, every folder the plan
// touches gets a small journal of its steps (the old and new name of each
// and the file's device and inode), written to a temporary file, flushed
// to the disk and linked into place under a fixed hidden name together
// with a flush of the folder. The running rename holds a lock on it; when
// all steps are done (or undone after a failure) and the folder is flushed,
// the journal goes.
//
// A journal found later, with no process holding its lock, belongs to a
// rename that never finished, and is undone: every step whose file stands
// under its new name goes back to its old one, newest first. Undoing rather
// than finishing is the sound choice because the user never saw the result
// (the program reports the new names only after the journal is gone), the
// old names are the ones the user knows, and every step can be undone while
// finishing might need names taken since.
class RenameJournal {
public:
    static constexpr const char* kFileName = ".kamelo-rename-journal";
    // For tests: stops the process (SIGSTOP) once this many steps are done,
    // 0 being just after the journals are in place.
    static constexpr const char* kStopAfterVariable = "KAMELO_TEST_RENAME_STOP_AFTER";

    struct Recovery {
        bool found = false; // an unfinished rename was found and undone
        bool busy = false;  // a running program is renaming there now
        int error = 0;      // the journal could not be read or is not ours
        int undone = 0;     // files given back their old names
        // Files that could not go back: where each is, and its old path.
        std::vector<std::pair<std::string, std::string>> stranded;
    };
    // Settles an unfinished rename in folder ("" is the working folder).
    static Recovery recover(const std::string& folder);
    // The Korean notice for a recovery that found something; "" otherwise.
    static std::string notice(const std::string& folder, const Recovery& r);

    struct Result {
        RenamePlan::Outcome outcome;
        // Set when a journal could not be written: nothing was renamed.
        int journalError = 0;
        std::string journalFolder;
    };
    // Runs the plan's steps under journals.
    static Result apply(const RenamePlan& plan);
    // The Korean message for a journal that could not be written, reason
    // being the text of its errno; "" when it was written.
    static std::string refusal(const Result& r, const std::string& reason);
};

} // namespace kamelo
