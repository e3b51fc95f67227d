#include "renameproblemtext.h"

#include "resources/stringtable.h"

namespace kamelo {

std::string RenameProblemText::reason(const RenamePlan::Row& row) {
    return reason(row.problem, row.nameLimit);
}

std::string RenameProblemText::reason(RenameProblem problem, size_t nameLimit) {
    using P = RenameProblem;
    switch (problem) {
    case P::None:
        return {};
    case P::Missing:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_MISSING));
    case P::SameFile:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_SAME_FILE));
    case P::BadCharacter:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_BAD_CHARACTER));
    case P::EmptyTitle:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_EMPTY_TITLE));
    case P::LeadingDot:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_LEADING_DOT));
    case P::TooLong:
        return res::format(res::IDS_RENAME_PROBLEM_TOO_LONG, int(nameLimit));
    case P::Duplicate:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_DUPLICATE));
    case P::Exists:
        return std::string(res::text(res::IDS_RENAME_PROBLEM_EXISTS));
    }
    return {};
}

std::string RenameProblemText::refusal(const RenamePlan& plan, size_t row) {
    const RenamePlan::Row& r = plan.rows().at(row);
    return res::format(res::IDS_RENAME_REFUSED, int(row + 1), RenamePlan::nameOf(r.from).c_str(),
                       r.name.c_str(), reason(r).c_str()) +
           "\n" + std::string(res::text(res::IDS_RENAME_NOTHING_DONE));
}

} // namespace kamelo
