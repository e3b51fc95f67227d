#include "clashstate.h"

namespace kamelo::acquire {

std::string ClashState::freeName(const std::string& path, const Exists& exists) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string candidate = path;
    // A name grown past the file system's limit does not exist, so the loop
    // ends; writing under that name then fails and is reported.
    while (exists(candidate))
        candidate.insert(nameStart, 1, '_');
    return candidate;
}

ClashState::Resolution ClashState::resolve(const std::string& destination, const Exists& exists,
                                           const Ask& ask) {
    if (!exists(destination))
        return {Action::Write, destination};
    if (writtenThisRun(destination))
        return {Action::Write, freeName(destination, exists)};
    if (!choice_)
        choice_ = ask(destination);
    switch (*choice_) {
    case ClashChoice::Rename:
        return {Action::Write, freeName(destination, exists)};
    case ClashChoice::Skip:
        return {Action::Skip, {}};
    case ClashChoice::Overwrite:
        return {Action::Replace, destination};
    case ClashChoice::Stop:
        break;
    }
    return {Action::Stop, {}};
}

} // namespace kamelo::acquire
