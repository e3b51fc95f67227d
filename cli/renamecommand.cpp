#include "renamecommand.h"

#include "browser/core/filedatetaken.h"
#include "browser/core/renamejournal.h"
#include "browser/core/renamepattern.h"
#include "browser/core/renameplan.h"
#include "browser/core/renameproblemtext.h"
#include "cli/commandhelp.h"
#include "platform/core/staletemporaries.h"
#include "platform/fileerrortext.h"
#include "resources/stringtable.h"

#include <optional>
#include <ostream>
#include <set>

namespace kamelo {

namespace {

const char* patternError(RenamePattern::ParseError e) {
    switch (e) {
    case RenamePattern::ParseError::Forbidden:
        return "패턴에 \\ / : * ? \" < > | 는 쓸 수 없습니다.";
    case RenamePattern::ParseError::MaskTooLong:
        return "일련 번호(#)는 9자리까지입니다.";
    case RenamePattern::ParseError::TwoMasks:
        return "일련 번호(#)는 한 군데에만 둘 수 있습니다.";
    case RenamePattern::ParseError::MisplacedDate:
        return "날짜 형식은 하나만, # 바로 뒤에 (# 가 없으면 머릿말 뒤에) 둘 수 있습니다.";
    case RenamePattern::ParseError::None:
        break;
    }
    return "";
}

std::string reasonText(int error) {
    return FileErrorText::reason(error).toStdString();
}

} // namespace

int runRenameCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool dryRun = false;
    uint32_t start = 0;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--dry-run") {
            dryRun = true;
        } else if (args[i] == "--start" && i + 1 < args.size() && !args[i + 1].empty() &&
                   RenamePattern::parseStart(args[i + 1], start)) {
            ++i;
        } else if (args[i] == "--") {
            ++i;
            break;
        } else if (args[i].rfind("--", 0) == 0) {
            err << clihelp::usage("rename");
            return 2;
        } else {
            break;
        }
    }
    if (args.size() < i + 2) {
        err << clihelp::usage("rename");
        return 2;
    }
    RenamePattern pattern;
    pattern.start = start;
    if (const auto e = RenamePattern::parse(args[i], pattern);
        e != RenamePattern::ParseError::None) {
        err << patternError(e) << "\n" << clihelp::usage("rename");
        return 2;
    }
    // A rename of these folders that a kill cut short is undone first, so
    // the new names are planned against the names the user knows.
    std::set<std::string> folders;
    for (size_t k = i + 1; k < args.size(); ++k)
        folders.insert(RenamePlan::folderOf(args[k]));
    for (const std::string& folder : folders) {
        if (!dryRun)
            StaleTemporaries::sweepOnce(folder.empty() ? std::string(".") : folder);
        const std::string notice = RenameJournal::notice(folder, RenameJournal::recover(folder));
        if (!notice.empty())
            err << notice << "\n";
    }
    std::vector<std::pair<std::string, std::string>> rows;
    for (size_t k = i + 1; k < args.size(); ++k) {
        const std::string& path = args[k];
        std::optional<int64_t> date;
        if (pattern.dateFormat >= 0)
            if (const auto t = FileDateTaken::read(path))
                date = *t;
        rows.push_back({path, pattern.name(rows.size(), RenamePlan::nameOf(path), date)});
    }

    const RenamePlan plan(rows);
    if (plan.firstProblem() >= 0) {
        for (const RenamePlan::Row& r : plan.rows())
            if (r.problem != RenamePlan::Problem::None)
                err << r.from << " -> " << r.to << ": " << RenameProblemText::reason(r) << "\n";
        err << res::text(res::IDS_RENAME_NOTHING_DONE) << "\n";
        return 1;
    }
    if (!dryRun) {
        const RenameJournal::Result done = RenameJournal::apply(plan);
        if (done.journalError != 0) {
            err << RenameJournal::refusal(done, reasonText(done.journalError)) << "\n";
            return 1;
        }
        const RenamePlan::Outcome& o = done.outcome;
        if (!o.ok) {
            const RenamePlan::Row& r = plan.rows()[o.row];
            err << res::format(res::IDS_FAILED_RENAME, r.from.c_str()) << " ("
                << reasonText(o.error) << ")\n";
            if (o.stranded.empty())
                err << res::text(res::IDS_RENAME_ALL_UNDONE) << "\n";
            for (const auto& [now, was] : o.stranded)
                err << res::format(res::IDS_RENAME_STRANDED, was.c_str(), now.c_str()) << "\n";
            return 1;
        }
    }
    for (const RenamePlan::Row& r : plan.rows())
        out << r.from << " -> " << r.to << "\n";
    return 0;
}

} // namespace kamelo
