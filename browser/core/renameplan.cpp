#include "renameplan.h"

#include "browser/core/renamepattern.h"

#include <cerrno>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace kamelo {

std::string RenamePlan::folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string RenamePlan::nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

RenamePlan::RenamePlan(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                       RenameFileSystem& fs)
    : RenamePlan(checked(fromAndName, fs), fs) {}

RenameCheck RenamePlan::checked(const std::vector<std::pair<std::string, std::string>>& fromAndName,
                                RenameFileSystem& fs) {
    auto sources = std::make_shared<const RenameSources>(
        fromAndName.size(), [&](size_t i) { return std::string_view(fromAndName[i].first); }, fs);
    RenameNames names;
    size_t bytes = 0;
    for (const auto& row : fromAndName)
        bytes += row.second.size();
    names.reserve(fromAndName.size(), bytes);
    for (const auto& row : fromAndName)
        names.add(row.second);
    return RenameCheck(std::move(sources), std::move(names), fs);
}

RenamePlan::RenamePlan(const RenameCheck& check, RenameFileSystem& fs) : fs_(&fs) {
    const RenameSources& sources = check.sources();
    const size_t n = sources.size();
    rows_.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        Row r;
        r.from = std::string(sources.path(i));
        r.name = std::string(check.name(i));
        r.to = RenameFileSystem::join(sources.folder(i), r.name);
        r.problem = check.problem(i);
        r.nameLimit = check.nameLimit(i);
        if (sources.problem(i) == Problem::None)
            r.file = sources.file(i);
        rows_.push_back(std::move(r));
    }
    if (firstProblem() < 0)
        order(check);
}

int RenamePlan::firstProblem() const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].problem != Problem::None)
            return int(i);
    return -1;
}

void RenamePlan::order(const RenameCheck& check) {
    const RenameSources& sources = check.sources();
    const size_t n = rows_.size();
    std::vector<bool> changes(n, false);
    for (size_t i = 0; i < n; ++i)
        changes[i] = check.changes(i);
    // next[r]: the row that has to leave r's target first.
    constexpr size_t kNone = size_t(-1);
    std::vector<size_t> next(n, kNone);
    std::vector<bool> awaited(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i])
            continue;
        const std::string_view name = check.name(i);
        const size_t leaving =
            sources.rowNamed(i, name, renamekeys::hash(name, sources.ignoresCase(i)));
        if (leaving != RenameSources::kNoRow && changes[leaving]) {
            next[i] = leaving;
            awaited[leaving] = true;
        }
    }
    std::vector<bool> done(n, false);
    auto step = [&](size_t row, const std::string& from, const std::string& to) {
        steps_.push_back({row, from, to});
    };
    // Chains: the last row of a chain moves to a free name first.
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i] || awaited[i])
            continue;
        std::vector<size_t> chain;
        for (size_t r = i; r != kNone && !done[r]; r = next[r]) {
            chain.push_back(r);
            done[r] = true;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            step(*it, rows_[*it].from, rows_[*it].to);
    }
    // What is left are cycles (a case-only change is a cycle of one): the
    // first row steps aside to a temporary name, the rest follow backwards.
    for (size_t i = 0; i < n; ++i) {
        if (!changes[i] || done[i])
            continue;
        std::vector<size_t> cycle;
        for (size_t r = i; !done[r]; r = next[r]) {
            cycle.push_back(r);
            done[r] = true;
        }
        const std::string temporary = temporaryFor(check, i);
        step(i, rows_[i].from, temporary);
        for (size_t k = cycle.size(); k-- > 1;)
            step(cycle[k], rows_[cycle[k]].from, rows_[cycle[k]].to);
        step(i, temporary, rows_[i].to);
    }
}

std::string RenamePlan::temporaryFor(const RenameCheck& check, size_t row) {
    const RenameSources& sources = check.sources();
    const RenameFileSystem::FolderIndex& folder = sources.folderIndex(row);
    const std::string_view ext = RenamePattern::extension(sources.name(row));
    // Free of every row's old and new name and of what the folder holds;
    // the tries are bounded (a file system claiming every name gets the
    // last one tried, and its no-replace rename refuses it).
    const size_t tries = 2 * rows_.size() + folder.size() + 1000;
    std::string path;
    for (size_t t = 0; t < tries; ++t) {
        std::string name =
            "kamelo-rename-" + std::to_string(::getpid()) + "-" + std::to_string(++temporaries_);
        if (name.size() + ext.size() <= folder.nameMax)
            name += ext;
        path = RenameFileSystem::join(sources.folder(row), name);
        const bool taken =
            check.rowTaking(row, name) != RenameSources::kNoRow ||
            sources.rowNamed(row, name, renamekeys::hash(name, folder.ignoresCase)) !=
                RenameSources::kNoRow;
        if (!taken && !fs_->look(path))
            return path;
    }
    return path;
}

RenamePlan::Outcome RenamePlan::apply(const std::function<void(size_t)>& afterStep) const {
    Outcome out;
    if (const int marked = firstProblem(); marked >= 0) {
        out.ok = false;
        out.row = size_t(marked);
        out.error = EINVAL;
        return out;
    }
    auto run = [this](const std::string& from, const std::string& to) {
        return fs_->rename(from, to);
    };
    for (size_t i = 0; i < steps_.size(); ++i) {
        const int rc = run(steps_[i].from, steps_[i].to);
        if (rc == 0) {
            if (afterStep)
                afterStep(i + 1);
            continue;
        }
        out.ok = false;
        out.row = steps_[i].row;
        out.error = rc;
        // Back the way it came; a file that cannot go back is named.
        std::vector<std::string> at(rows_.size());
        for (size_t r = 0; r < rows_.size(); ++r)
            at[r] = rows_[r].from;
        for (size_t k = 0; k < i; ++k)
            at[steps_[k].row] = steps_[k].to;
        for (size_t k = i; k-- > 0;)
            if (run(steps_[k].to, steps_[k].from) == 0)
                at[steps_[k].row] = steps_[k].from;
        for (size_t r = 0; r < rows_.size(); ++r)
            if (at[r] != rows_[r].from)
                out.stranded.push_back({at[r], rows_[r].from});
        return out;
    }
    return out;
}

} // namespace kamelo
