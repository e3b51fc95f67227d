#pragma once

#include "browser/core/renameplan.h"

#include <string>

namespace kamelo {

// Why a row of a rename plan is marked, in Korean (UTF-8).
class RenameProblemText {
public:
    // Empty for an unmarked row.
    static std::string reason(const RenamePlan::Row& row);
    // The same for a problem and, for TooLong, the folder's limit.
    static std::string reason(RenameProblem problem, size_t nameLimit);
    // The message naming the first marked row (0-based index), and that
    // nothing was renamed.
    static std::string refusal(const RenamePlan& plan, size_t row);
};

} // namespace kamelo
