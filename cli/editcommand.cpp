#include "editcommand.h"

#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "cli/commandhelp.h"
#include "edit/batchrunner.h"
#include "edit/core/levelsadjuster.h"
#include "edit/core/sharpnessrules.h"
#include "edit/levelspicture.h"
#include "imaging/geometryops.h"
#include "imaging/result.h"
#include "imaging/sharpenops.h"
#include "resources/stringtable.h"

#include <charconv>
#include <optional>
#include <ostream>
#include <sstream>

namespace kamelo {

namespace {

// Comma-separated numbers; false unless there are between min and max.
bool parseList(const std::string& text, size_t min, size_t max, std::vector<double>& values) {
    values.clear();
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) {
        double v = 0;
        const char* end = part.data() + part.size();
        const auto [at, ec] = std::from_chars(part.data(), end, v);
        if (ec != std::errc() || at != end)
            return false;
        values.push_back(v);
    }
    return values.size() >= min && values.size() <= max;
}

bool isInt(double v, int low, int high) {
    return v == double(int64_t(v)) && v >= low && v <= high;
}

// B,G,W[,OB,OW]: the limits the colour panel keeps.
bool parseLevels(const std::string& text, edit::LevelSet& set) {
    std::vector<double> v;
    if (!parseList(text, 3, 5, v))
        return false;
    while (v.size() < 5)
        v.push_back(v.size() == 3 ? 0 : 255);
    if (!isInt(v[0], 0, 255) || !isInt(v[2], 0, 255) || !isInt(v[3], 0, 255) ||
        !isInt(v[4], 0, 255) || v[0] > v[2] - 2 || v[3] > v[4] - 2 || !(v[1] > 0))
        return false;
    set = {int(v[0]), edit::LevelsAdjuster::clampGamma(v[1]), int(v[2]), int(v[3]), int(v[4])};
    return true;
}

class Printer : public edit::BatchEvents {
public:
    Printer(std::ostream& out, std::ostream& err, bool overwrite)
        : out_(out), err_(err), overwrite_(overwrite) {}
    void written(const std::string& source, const std::string& destination) override {
        out_ << source << " -> " << destination << "\n";
        progress();
    }
    void failed(const std::string& source, const std::string& reason) override {
        out_ << res::format(res::IDS_BATCH_FAILED_LINE, source.c_str(), reason.c_str()) << "\n";
        progress();
    }
    void folderFailed(const std::string& folder, const std::string& reason) override {
        err_ << res::format(res::IDS_BATCH_FOLDER_FAILED, folder.c_str(), reason.c_str()) << "\n";
    }
    edit::OverwriteAnswer askOverwrite(const std::string& destination) override {
        if (!overwrite_)
            err_ << "있는 파일이라 건너뜀: " << destination << "\n";
        return overwrite_ ? edit::OverwriteAnswer::Yes : edit::OverwriteAnswer::No;
    }
    void started(int count) override { count_ = count; }

private:
    void progress() { err_ << ++done_ << "/" << count_ << "\n"; }
    std::ostream& out_;
    std::ostream& err_;
    bool overwrite_;
    int count_ = 0;
    int done_ = 0;
};

// The options every edit command shares; false for one it does not know.
bool commonOption(const std::vector<std::string>& args, size_t& i, edit::BatchJob& job,
                  bool& overwrite) {
    const std::string& a = args[i];
    if (a == "--out" && i + 1 < args.size()) {
        job.mode = edit::DestinationMode::Folder;
        job.folder = args[++i];
        return true;
    }
    if (a == "--overwrite") {
        overwrite = true;
        return true;
    }
    return false;
}

int runJob(SettingsStore& store, edit::BatchJob job, bool overwrite, std::ostream& out,
           std::ostream& err) {
    job.upright = store.getInt(keys::kGeneral, keys::kApplyOrientation, 1) != 0;
    Printer printer(out, err, overwrite);
    std::atomic<bool> stop{false};
    const edit::BatchSummary s = edit::BatchRunner(std::move(job)).run(printer, stop);
    if (s.folderFailed)
        return 1;
    if (s.failed > 0)
        out << res::format(res::IDS_BATCH_FAILURE_COUNT, s.failed) << "\n";
    out << res::text(res::IDS_BATCH_DONE) << "\n";
    return s.failed > 0 ? 1 : 0;
}

} // namespace

int runAdjustCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                     std::ostream& err) {
    edit::BatchJob job;
    bool overwrite = false;
    edit::ColourRecord record;
    bool levelsGiven = false;
    std::optional<int> sharpen, blur;
    std::optional<std::array<int, 3>> unsharp;
    const auto bad = [&err] {
        err << clihelp::usage("adjust");
        return 2;
    };
    const char* setNames[4] = {"--levels", "--red", "--green", "--blue"};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        int set = -1;
        for (int s = 0; s < 4; ++s)
            if (a == setNames[s])
                set = s;
        if (set >= 0 && hasValue) {
            edit::LevelSet l;
            if (!parseLevels(args[++i], l)) {
                err << res::format(res::IDS_CLI_BAD_LEVELS, args[i].c_str()) << "\n";
                return bad();
            }
            record.black[set] = l.black;
            record.gamma[set] = l.gamma;
            record.white[set] = l.white;
            record.outBlack[set] = l.outBlack;
            record.outWhite[set] = l.outWhite;
            levelsGiven = true;
        } else if (a == "--auto-colour" || a == "--auto-contrast" || a == "--grey") {
            if (record.mode != edit::ColourRecord::Levels)
                return bad();
            record.mode = a == "--auto-colour"     ? edit::ColourRecord::AutoColour
                          : a == "--auto-contrast" ? edit::ColourRecord::AutoContrast
                                                   : edit::ColourRecord::Grey;
        } else if ((a == "--sharpen" || a == "--blur") && hasValue) {
            std::vector<double> v;
            const int high = a == "--sharpen" ? edit::SharpnessRules::kSliderMax
                                              : edit::SharpnessRules::kBlurMax;
            if (!parseList(args[++i], 1, 1, v) || !isInt(v[0], 0, high))
                return bad();
            (a == "--sharpen" ? sharpen : blur) = int(v[0]);
        } else if (a == "--unsharp" && hasValue) {
            std::vector<double> v;
            constexpr int kLarge = 2000000000; // digits, held to the filter's range below
            if (!parseList(args[++i], 3, 3, v) || !isInt(v[0], 0, kLarge) ||
                !isInt(v[1], 0, kLarge) || !isInt(v[2], 0, kLarge))
                return bad();
            unsharp = std::array<int, 3>{edit::SharpnessRules::clampAmount(int64_t(v[0])),
                                         edit::SharpnessRules::clampRadius(int64_t(v[1])),
                                         edit::SharpnessRules::clampThreshold(int64_t(v[2]))};
        } else if (commonOption(args, i, job, overwrite)) {
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return bad();
        } else {
            job.sources.push_back(a);
        }
    }
    const int filters = int(sharpen.has_value()) + int(blur.has_value()) + int(unsharp.has_value());
    const bool colour = levelsGiven || record.mode != edit::ColourRecord::Levels;
    if (job.sources.empty() || filters > 1 || (!colour && filters == 0) ||
        (levelsGiven && record.mode != edit::ColourRecord::Levels))
        return bad();
    job.step = [record, colour, sharpen, blur, unsharp](imaging::Bitmap& picture, const std::any*,
                                                        std::string&) {
        int rc = imaging::result::kSuccess;
        if (colour)
            rc = edit::LevelsPicture::runRecord(picture, record);
        if (rc >= 1 && sharpen)
            rc = imaging::SharpenOps::sharpen(picture,
                                              edit::SharpnessRules::sharpenStrength(*sharpen));
        if (rc >= 1 && blur)
            rc = imaging::SharpenOps::gaussianBlur(picture, *blur);
        if (rc >= 1 && unsharp)
            rc = imaging::SharpenOps::unsharpMask(picture, (*unsharp)[0], (*unsharp)[1],
                                                  (*unsharp)[2]);
        return rc;
    };
    return runJob(store, std::move(job), overwrite, out, err);
}

int runCropCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err) {
    edit::BatchJob job;
    bool overwrite = false;
    std::optional<imaging::Rect> rect;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--rect" && i + 1 < args.size()) {
            std::vector<double> v;
            if (!parseList(args[++i], 4, 4, v) || !isInt(v[0], 0, 1 << 30) ||
                !isInt(v[1], 0, 1 << 30) || !isInt(v[2], 1, 1 << 30) || !isInt(v[3], 1, 1 << 30)) {
                err << res::text(res::IDS_CLI_BAD_RECT) << "\n" << clihelp::usage("crop");
                return 2;
            }
            rect = imaging::Rect{int(v[0]), int(v[1]), int(v[2]), int(v[3])};
        } else if (commonOption(args, i, job, overwrite)) {
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << clihelp::usage("crop");
            return 2;
        } else {
            job.sources.push_back(a);
        }
    }
    if (!rect || job.sources.empty()) {
        err << clihelp::usage("crop");
        return 2;
    }
    job.step = [r = *rect](imaging::Bitmap& picture, const std::any*, std::string&) {
        // A rectangle that misses the picture leaves nothing: refused.
        return imaging::GeometryOps::trim(picture, r);
    };
    return runJob(store, std::move(job), overwrite, out, err);
}

} // namespace kamelo
