#pragma once

#include "browser/core/renamecheck.h"
#include "browser/core/renamefilesystem.h"

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kamelo {

// A set of renames checked as a whole before anything happens. Each row is
// a file and the new name it should take in its own folder. A row that
// cannot be renamed safely is marked with the reason; a plan with a marked
// row renames nothing. Otherwise the renames are ordered so that every
// target is vacated before it is taken (a swap or a longer cycle, and a
// change of case on a file system that ignores case, goes through one
// temporary name in the same folder), nothing is ever replaced, and a
// failure part-way undoes what was done, newest first.
class RenamePlan {
public:
    using Problem = RenameProblem;
    struct Row {
        std::string from; // the file's path now
        std::string name; // the new name
        std::string to;   // the new path
        Problem problem = Problem::None;
        size_t nameLimit = 0;         // the folder's limit, for TooLong
        RenameFileSystem::Entry file; // what from named when checked
    };
    struct Step {
        size_t row;
        std::string from;
        std::string to;
    };
    struct Outcome {
        bool ok = true;
        size_t row = 0; // the row whose rename failed
        int error = 0;  // and why
        // Undo steps that failed too: where a file is now, and its old path.
        std::vector<std::pair<std::string, std::string>> stranded;
    };

    // Checks every row against the others and the file system as it is now.
    explicit RenamePlan(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                        RenameFileSystem& fs = RenameFileSystem::local());
    // The rows of a check made against fs, as they stand.
    RenamePlan(const RenameCheck& check, RenameFileSystem& fs);

    const std::vector<Row>& rows() const { return rows_; }
    // The first marked row, or -1.
    int firstProblem() const;
    // Empty while a row is marked; rows keeping their name have no step.
    const std::vector<Step>& steps() const { return steps_; }
    // Runs the steps (nothing when a row is marked: the outcome names it
    // with EINVAL). afterStep, when given, is told how many steps are done
    // after each one.
    Outcome apply(const std::function<void(size_t done)>& afterStep = {}) const;

    // The folder part of a path ("" for a bare name) and the name part.
    static std::string folderOf(const std::string& path);
    static std::string nameOf(const std::string& path);

private:
    static RenameCheck checked(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                               RenameFileSystem& fs);
    void order(const RenameCheck& check);
    std::string temporaryFor(const RenameCheck& check, size_t row);

    RenameFileSystem* fs_;
    std::vector<Row> rows_;
    std::vector<Step> steps_;
    size_t temporaries_ = 0;
};

} // namespace kamelo
