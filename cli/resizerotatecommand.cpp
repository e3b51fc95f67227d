#include "resizerotatecommand.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "cli/commandhelp.h"
#include "edit/batchrunner.h"
#include "edit/core/resizerule.h"
#include "edit/core/rotatecode.h"
#include "edit/resizeops.h"
#include "edit/rotateops.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

namespace kamelo {

namespace {

bool parseInt(const std::string& text, int low, int high, int& value) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || at != end || n < low || n > high)
        return false;
    value = n;
    return true;
}

// The options every editing command shares.
struct Common {
    bool overwrite = false;
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
};

// True when args[i] was one of them (i moved past its value).
bool takeCommon(const std::vector<std::string>& args, size_t& i, edit::BatchJob& job, Common& c) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    int n = 0;
    if (a == "--out" && hasValue) {
        job.mode = edit::DestinationMode::Folder;
        job.folder = args[++i];
        return true;
    }
    if (a == "--overwrite") {
        c.overwrite = true;
        return true;
    }
    if (a == "--jobs" && hasValue && parseInt(args[i + 1], 1, 256, n)) {
        c.jobs = n;
        ++i;
        return true;
    }
    return false;
}

// Runs the job with files spread over threads (files that share an output
// in one thread, in order), reporting in list order. 0, or 1 when a file
// failed.
int runJob(edit::BatchJob job, const Common& c, std::ostream& out, std::ostream& err) {
    const edit::BatchRunner runner(std::move(job));
    if (const std::string reason = runner.prepareFolder(); !reason.empty()) {
        err << res::format(res::IDS_BATCH_FOLDER_FAILED, runner.job().folder.c_str(),
                           reason.c_str())
            << "\n";
        return 1;
    }
    const size_t count = runner.job().sources.size();
    std::vector<std::vector<size_t>> units;
    std::map<std::string, size_t> unitOf;
    for (size_t i = 0; i < count; ++i) {
        const auto [it, added] = unitOf.emplace(runner.destinationOf(i), units.size());
        if (added)
            units.emplace_back();
        units[it->second].push_back(i);
    }
    std::vector<std::optional<edit::FileOutcome>> outcomes(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<size_t> nextUnit{0};
    const bool overwrite = c.overwrite;
    const auto ask = [overwrite](const std::string&) { return overwrite; };
    const auto work = [&] {
        for (size_t u = nextUnit++; u < units.size(); u = nextUnit++)
            for (size_t index : units[u]) {
                edit::FileOutcome outcome = runner.processFile(index, ask);
                {
                    std::lock_guard lock(mutex);
                    outcomes[index] = std::move(outcome);
                }
                ready.notify_one();
            }
    };
    std::vector<std::thread> threads;
    const size_t threadCount = std::max<size_t>(1, std::min(size_t(c.jobs), units.size()));
    for (size_t t = 0; t < threadCount; ++t)
        threads.emplace_back(work);
    int failed = 0;
    for (size_t i = 0; i < count; ++i) {
        edit::FileOutcome outcome;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return outcomes[i].has_value(); });
            outcome = std::move(*outcomes[i]);
        }
        const std::string& source = runner.job().sources[i];
        switch (outcome.kind) {
        case edit::FileOutcome::Kind::Written:
            out << source << " -> " << outcome.destination;
            if (!outcome.note.empty())
                out << " (" << outcome.note << ")";
            out << "\n";
            break;
        case edit::FileOutcome::Kind::Skipped:
            err << "있는 파일이라 건너뜀: " << outcome.destination << "\n";
            break;
        case edit::FileOutcome::Kind::Failed:
            ++failed;
            out << res::format(res::IDS_BATCH_FAILED_LINE, source.c_str(), outcome.reason.c_str())
                << "\n";
            break;
        }
        out.flush();
        err << (i + 1) << "/" << count << "\n";
    }
    for (std::thread& t : threads)
        t.join();
    if (failed > 0)
        out << res::format(res::IDS_BATCH_FAILURE_COUNT, failed) << "\n";
    out << res::text(res::IDS_BATCH_DONE) << "\n";
    return failed > 0 ? 1 : 0;
}

bool readsUpright(const SettingsStore& store) {
    return store.getInt(keys::kGeneral, keys::kApplyOrientation, keys::kApplyOrientationDefault) !=
           0;
}

int methodIndex(const std::string& name) {
    if (name == "bicubic" || name == "0")
        return 0;
    if (name == "resample" || name == "1")
        return 1;
    if (name == "normal" || name == "2")
        return 2;
    return -1;
}

} // namespace

int runResizeCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err) {
    edit::BatchJob job;
    Common common;
    edit::ResizeSettings s;
    s.interpolation = 0;
    bool sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int n = 0;
        if (takeCommon(args, i, job, common))
            continue;
        if (!sized && a == "--percent" && hasValue &&
            parseInt(args[i + 1], edit::ResizeSettings::kMinPercent,
                     edit::ResizeSettings::kMaxPercent, n)) {
            s.mode = edit::ResizeSettings::ByPercent;
            s.percent = n;
            sized = true;
            ++i;
        } else if (!sized && (a == "--width" || a == "--height") && hasValue &&
                   parseInt(args[i + 1], 1, 1 << 30, n)) {
            s.mode = edit::ResizeSettings::BySize;
            s.keepRatio = 1;
            s.fitSide =
                a == "--width" ? edit::ResizeSettings::FitWidth : edit::ResizeSettings::FitHeight;
            (a == "--width" ? s.width : s.height) = n;
            sized = true;
            ++i;
        } else if (!sized && a == "--size" && hasValue) {
            const std::string& v = args[++i];
            const size_t x = v.find_first_of("xX");
            int w = 0, h = 0;
            if (x == std::string::npos || !parseInt(v.substr(0, x), 1, 1 << 30, w) ||
                !parseInt(v.substr(x + 1), 1, 1 << 30, h)) {
                err << clihelp::usage("resize");
                return 2;
            }
            s.mode = edit::ResizeSettings::BySize;
            s.keepRatio = 0;
            s.width = w;
            s.height = h;
            sized = true;
        } else if (a == "--method" && hasValue && methodIndex(args[i + 1]) >= 0) {
            s.interpolation = methodIndex(args[++i]);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << clihelp::usage("resize");
            return 2;
        } else {
            job.sources.push_back(a);
        }
    }
    if (!sized || job.sources.empty()) {
        err << clihelp::usage("resize");
        return 2;
    }
    job.upright = readsUpright(store);
    job.step = edit::ResizeOps::step(s);
    return runJob(std::move(job), common, out, err);
}

int runRotateCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err) {
    edit::BatchJob job;
    Common common;
    std::optional<edit::RotateCode> code;
    const std::map<std::string, edit::RotateCode> named = {
        {"--left", edit::RotateCode::Left},
        {"--right", edit::RotateCode::Right},
        {"--half", edit::RotateCode::HalfTurn},
        {"--mirror", edit::RotateCode::MirrorLeftRight},
        {"--flip", edit::RotateCode::MirrorTopBottom},
        {"--auto", edit::RotateCode::Auto},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        int n = 0;
        if (takeCommon(args, i, job, common))
            continue;
        if (const auto it = named.find(a); it != named.end() && !code) {
            code = it->second;
        } else if (a == "--code" && !code && i + 1 < args.size() &&
                   parseInt(args[i + 1], 0, edit::RotateRules::kCodeCount - 1, n)) {
            code = edit::RotateCode(n);
            ++i;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << clihelp::usage("rotate");
            return 2;
        } else {
            job.sources.push_back(a);
        }
    }
    if (!code || job.sources.empty()) {
        err << clihelp::usage("rotate");
        return 2;
    }
    const edit::BatchOperation op = edit::rotateBatchOperation();
    job.upright = readsUpright(store);
    job.uprightFor = op.uprightFor;
    job.step = op.step;
    job.directWrite = op.directWrite;
    job.records.assign(job.sources.size(), std::any(*code));
    return runJob(std::move(job), common, out, err);
}

} // namespace kamelo
