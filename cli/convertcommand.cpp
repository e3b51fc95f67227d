#include "convertcommand.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "cli/commandhelp.h"
#include "edit/batchrunner.h"
#include "edit/core/conversionformat.h"
#include "resources/stringtable.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <condition_variable>
#include <map>
#include <mutex>
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

std::optional<edit::ConversionFormat> formatNamed(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    for (const edit::ConversionFormat& f : edit::kConversionFormats)
        if (name == f.name)
            return f;
    return std::nullopt;
}

// Files that share an output are done one after another by one thread, in
// list order, so the second sees the first's file as a sequential run does.
std::vector<std::vector<size_t>> unitsByDestination(const edit::BatchRunner& runner) {
    std::vector<std::vector<size_t>> units;
    std::map<std::string, size_t> unitOf;
    for (size_t i = 0; i < runner.job().sources.size(); ++i) {
        const auto [it, added] = unitOf.emplace(runner.destinationOf(i), units.size());
        if (added)
            units.emplace_back();
        units[it->second].push_back(i);
    }
    return units;
}

} // namespace

int runConvertCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                      std::ostream& err) {
    edit::BatchJob job;
    bool overwrite = false;
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    bool qualityGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int n = 0;
        if (a == "--format" && hasValue) {
            job.convertTo = formatNamed(args[++i]);
            if (!job.convertTo) {
                err << "알 수 없는 형식입니다: " << args[i] << "\n" << clihelp::usage("convert");
                return 2;
            }
        } else if (a == "--quality-factor" && hasValue && !qualityGiven &&
                   parseInt(args[i + 1], 2, 255, n)) {
            job.qualityFactor = n;
            qualityGiven = true;
            ++i;
        } else if (a == "--quality" && hasValue && !qualityGiven &&
                   parseInt(args[i + 1], 0, 100, n)) {
            job.jpegQuality = n;
            qualityGiven = true;
            ++i;
        } else if (a == "--out" && hasValue) {
            job.mode = edit::DestinationMode::Folder;
            job.folder = args[++i];
        } else if (a == "--overwrite") {
            overwrite = true;
        } else if (a == "--jobs" && hasValue && parseInt(args[i + 1], 1, 256, n)) {
            jobs = n;
            ++i;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << clihelp::usage("convert");
            return 2;
        } else {
            job.sources.push_back(a);
        }
    }
    if (!job.convertTo || job.sources.empty()) {
        err << clihelp::usage("convert");
        return 2;
    }
    job.upright = store.getInt(keys::kGeneral, keys::kApplyOrientation, 1) != 0;

    const edit::BatchRunner runner(std::move(job));
    if (const std::string reason = runner.prepareFolder(); !reason.empty()) {
        err << res::format(res::IDS_BATCH_FOLDER_FAILED, runner.job().folder.c_str(),
                           reason.c_str())
            << "\n";
        return 1;
    }
    const size_t count = runner.job().sources.size();
    std::vector<std::optional<edit::FileOutcome>> outcomes(count);
    std::mutex mutex;
    std::condition_variable ready;
    const auto units = unitsByDestination(runner);
    std::atomic<size_t> nextUnit{0};
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
    // The calling thread reports while the workers write.
    const size_t threadCount = std::max<size_t>(1, std::min(size_t(jobs), units.size()));
    for (size_t t = 0; t < threadCount; ++t)
        threads.emplace_back(work);

    // Reported in list order as the outcomes arrive.
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
            out << source << " -> " << outcome.destination << "\n";
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

} // namespace kamelo
