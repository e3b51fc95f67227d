#include "framecommand.h"

#include "base/programfolders.h"
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "cli/commandhelp.h"
#include "edit/batchrunner.h"
#include "edit/editwriter.h"
#include "frames/core/frameskin.h"
#include "frames/framebatch.h"
#include "frames/framecomposer.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "resources/stringtable.h"

#include <sys/stat.h>

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

// "X,Y" with each part a whole number.
bool parsePair(const std::string& text, int& x, int& y) {
    const size_t comma = text.find(',');
    return comma != std::string::npos && parseInt(text.substr(0, comma), -1000000, 1000000, x) &&
           parseInt(text.substr(comma + 1), -1000000, 1000000, y);
}

// "RRGGBB" or "#RRGGBB" as the record keeps colours: red in the lowest byte.
bool parseColour(std::string text, uint32_t& colour) {
    if (!text.empty() && text[0] == '#')
        text.erase(0, 1);
    if (text.size() != 6)
        return false;
    uint32_t rgb = 0;
    const auto [at, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
    if (ec != std::errc() || at != text.data() + 6)
        return false;
    colour = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    return true;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string baseName(const std::string& iniPath) {
    const size_t slash = iniPath.rfind('/');
    const std::string name = slash == std::string::npos ? iniPath : iniPath.substr(slash + 1);
    return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

struct Options {
    frames::DecorationRecord record;
    std::optional<std::string> skin;
    std::string skinDir;
    bool list = false;
    std::optional<std::string> outFile;
    std::optional<std::string> outDir;
    bool overwrite = false;
    int jobs = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::string> sources;
};

// Fills options from the arguments; false on anything it does not know.
bool parse(const std::vector<std::string>& args, bool textOnly, Options& o) {
    frames::DecorationRecord& r = o.record;
    r.fontFace = std::string(res::text(res::IDS_FONT_GULIM));
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        int n = 0;
        bool takesValue = true;
        if (a == "--skin" && hasValue && !textOnly)
            o.skin = value;
        else if (a == "--skin-dir" && hasValue && !textOnly)
            o.skinDir = value;
        else if (a == "--list" && !textOnly) {
            o.list = true;
            takesValue = false;
        } else if (a == "--out" && hasValue && !o.outDir)
            o.outFile = value;
        else if (a == "--out-dir" && hasValue && !o.outFile)
            o.outDir = value;
        else if (a == "--jobs" && hasValue && parseInt(value, 1, 256, n))
            o.jobs = n;
        else if (a == "--text" && hasValue) {
            r.drawText = 1;
            r.text = value;
        } else if (a == "--font" && hasValue && !value.empty())
            r.fontFace = value;
        else if (a == "--size" && hasValue && parseInt(value, 1, 1000, n))
            r.fontSize = n;
        else if (a == "--colour" && hasValue && parseColour(value, r.textColour))
            ;
        else if (a == "--alpha" && hasValue && parseInt(value, 0, 255, n))
            r.textAlpha = uint8_t(n);
        else if (a == "--text-pos" && hasValue && parseInt(value, 0, 8, n))
            r.textPosition = n;
        else if (a == "--text-offset" && hasValue && parsePair(value, r.textOffsetX, r.textOffsetY))
            ;
        else if (a == "--rendering" && hasValue && parseInt(value, 0, 2, n))
            r.rendering = n;
        else if (a == "--tag" && hasValue) {
            r.drawTag = 1;
            r.tagPath = value;
        } else if (a == "--tag-pos" && hasValue && parseInt(value, 0, 8, n))
            r.tagPosition = n;
        else if (a == "--tag-offset" && hasValue && parsePair(value, r.tagOffsetX, r.tagOffsetY))
            ;
        else {
            takesValue = false;
            if (a == "--bold")
                r.bold = 1;
            else if (a == "--italic")
                r.italic = 1;
            else if (a == "--strikeout")
                r.strikeout = 1;
            else if (a == "--underline")
                r.underline = 1;
            else if (a == "--overwrite")
                o.overwrite = true;
            else if (a == "--list" || (!a.empty() && a[0] == '-' && a != "-"))
                return false;
            else
                o.sources.push_back(a);
        }
        if (takesValue)
            ++i;
    }
    if (o.list)
        return !textOnly && o.sources.empty() && !o.skin && !o.outFile && !o.outDir;
    if (o.sources.empty() || (!o.outFile && !o.outDir))
        return false;
    if (o.outFile && o.sources.size() != 1)
        return false;
    // The text command draws something.
    return !textOnly || r.drawText || r.drawTag;
}

// The skin NAME stands for: an INI path, or a listed skin by its file name
// (without ".ini") or its caption. "" with a message on err when none.
std::string findSkin(const std::string& name, const std::vector<frames::SkinEntry>& skins) {
    if (name.find('/') != std::string::npos)
        return name;
    for (const frames::SkinEntry& s : skins)
        if (lower(baseName(s.iniPath)) == lower(name) || lower(s.iniPath) == lower(name))
            return s.iniPath;
    for (const frames::SkinEntry& s : skins)
        if (s.caption == name)
            return s.iniPath;
    return {};
}

void report(size_t index, size_t count, const std::string& source, const edit::FileOutcome& o,
            int& failed, std::ostream& out, std::ostream& err) {
    switch (o.kind) {
    case edit::FileOutcome::Kind::Written:
        out << source << " -> " << o.destination << "\n";
        break;
    case edit::FileOutcome::Kind::Skipped:
        err << res::format(res::IDS_FRAME_CLI_SKIPPED, o.destination.c_str()) << "\n";
        break;
    case edit::FileOutcome::Kind::Failed:
        ++failed;
        out << res::format(res::IDS_BATCH_FAILED_LINE, source.c_str(), o.reason.c_str()) << "\n";
        break;
    }
    out.flush();
    err << (index + 1) << "/" << count << "\n";
}

// The run over a folder: the batch worker's runner, files spread over
// threads (those sharing an output in one thread, in order), reported in
// list order.
int runFolder(edit::BatchJob job, const Options& o, std::ostream& out, std::ostream& err) {
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
    const bool overwrite = o.overwrite;
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
    const size_t threadCount = std::max<size_t>(1, std::min(size_t(o.jobs), units.size()));
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
        report(i, count, runner.job().sources[i], outcome, failed, out, err);
    }
    for (std::thread& t : threads)
        t.join();
    if (failed > 0)
        out << res::format(res::IDS_BATCH_FAILURE_COUNT, failed) << "\n";
    out << res::text(res::IDS_BATCH_DONE) << "\n";
    return failed > 0 ? 1 : 0;
}

// One picture into a named file, by the same steps as a run's file: load,
// stand upright, decorate, write by the output's extension.
edit::FileOutcome runOne(const edit::BatchJob& job, const std::string& destination,
                         bool overwrite) {
    edit::FileOutcome o;
    o.destination = destination;
    const std::string& source = job.sources[0];
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            o.reason = std::string(res::text(res::IDS_BATCH_NOT_A_FILE));
            return o;
        }
        if (!overwrite) {
            o.reason = res::format(res::IDS_FRAME_CLI_EXISTS, destination.c_str());
            return o;
        }
    }
    imaging::Bitmap picture;
    int rc = imaging::PictureFile::load(source, picture);
    if (rc < 1) {
        o.reason = imaging::resultText(rc);
        return o;
    }
    bool turned = false;
    if (job.upright) {
        const int orientation = imaging::Orientation::read(source);
        if (orientation != imaging::Orientation::kUpright &&
            imaging::Orientation::makeUpright(picture, orientation) >= 1)
            turned = true;
    }
    rc = job.step(picture, &job.records[0], o.reason);
    if (rc < 1) {
        if (o.reason.empty())
            o.reason = imaging::resultText(rc);
        return o;
    }
    edit::EditWriter::Request write;
    write.picture = &picture;
    write.source = source;
    write.destination = destination;
    write.turnedUpright = turned;
    if (edit::EditWriter::write(write, o.reason) >= 1)
        o.kind = edit::FileOutcome::Kind::Written;
    return o;
}

} // namespace

int runFrameCommand(SettingsStore& store, bool textOnly, const std::vector<std::string>& args,
                    std::ostream& out, std::ostream& err) {
    const char* name = textOnly ? "text" : "frame";
    Options o;
    if (!parse(args, textOnly, o)) {
        err << clihelp::usage(name);
        return 2;
    }
    frames::DecorationRecord& record = o.record;
    if (!textOnly) {
        const std::string folder =
            o.skinDir.empty() ? ProgramFolders::executableFolder() + "skin" : o.skinDir;
        bool noIni = false;
        const std::vector<frames::SkinEntry> skins = frames::listSkins(folder, &noIni);
        if (o.list) {
            if (noIni) {
                err << res::text(res::IDS_MSG_NO_FRAME_SKIN) << " (" << folder << ")\n";
                return 2;
            }
            for (const frames::SkinEntry& s : skins)
                out << baseName(s.iniPath) << "\t" << s.caption << "\n";
            return 0;
        }
        if (o.skin) {
            record.skinPath = findSkin(*o.skin, skins);
            if (record.skinPath.empty()) {
                err << res::format(res::IDS_FRAME_CLI_NO_SUCH_SKIN, o.skin->c_str()) << "\n";
                return 2;
            }
        } else if (!skins.empty()) {
            record.skinPath = skins.front().iniPath; // the first of the list
        } else {
            err << res::text(res::IDS_MSG_NO_FRAME_SKIN) << " (" << folder << ")\n";
            return 2;
        }
        record.frameIndex = 1;
        // A skin that cannot be drawn stops the run before anything is written.
        if (const frames::FrameError e = frames::checkSkinFile(record.skinPath);
            e != frames::FrameError::None) {
            err << res::format(res::IDS_FRAME_CLI_SKIN_FAILED, record.skinPath.c_str(),
                               frames::frameErrorText(e).c_str())
                << "\n";
            return 2;
        }
    }
    const edit::BatchOperation op = frames::frameBatchOperation();
    edit::BatchJob job;
    job.sources = o.sources;
    job.records.assign(job.sources.size(), std::any(record));
    job.step = op.step;
    job.askBeforeOverwrite = op.askBeforeOverwrite;
    job.upright =
        store.getInt(keys::kGeneral, keys::kApplyOrientation, keys::kApplyOrientationDefault) != 0;
    if (o.outDir) {
        job.mode = edit::DestinationMode::Folder;
        job.folder = *o.outDir;
        return runFolder(std::move(job), o, out, err);
    }
    int failed = 0;
    report(0, 1, job.sources[0], runOne(job, *o.outFile, o.overwrite), failed, out, err);
    if (failed > 0)
        out << res::format(res::IDS_BATCH_FAILURE_COUNT, failed) << "\n";
    out << res::text(res::IDS_BATCH_DONE) << "\n";
    return failed > 0 ? 1 : 0;
}

} // namespace kamelo
