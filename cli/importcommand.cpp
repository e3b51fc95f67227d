#include "importcommand.h"

#include "cli/commandhelp.h"
#include "import/acquirescan.h"
#include "import/camerasource.h"
#include "import/core/acquirenaming.h"
#include "import/core/foldernamefilter.h"
#include "import/importcopier.h"
#include "import/safewrite.h"
#include "platform/fileerrortext.h"
#include "resources/stringtable.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

namespace kamelo {

namespace {

using namespace acquire;

struct Options {
    std::string source, destination;
    ImportJob job;
    ClashChoice clash = ClashChoice::Rename;
    bool camera = false; // source is a camera's port, or the first camera when left out
    bool listCameras = false;
};

std::optional<ClashChoice> clashNamed(const std::string& s) {
    if (s == "rename")
        return ClashChoice::Rename;
    if (s == "skip")
        return ClashChoice::Skip;
    if (s == "overwrite")
        return ClashChoice::Overwrite;
    if (s == "stop")
        return ClashChoice::Stop;
    return std::nullopt;
}

bool parse(const std::vector<std::string>& args, Options& o) {
    std::vector<std::string> positional;
    o.job.naming.groupName = todayStamp();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--rule" && hasValue) {
            const std::string& v = args[++i];
            if (v != "0" && v != "1" && v != "2")
                return false;
            o.job.naming.rule = NameRule(v[0] - '0');
        } else if (a == "--group" && hasValue) {
            o.job.naming.groupName = args[++i];
            if (o.job.naming.groupName.empty() || hasRefusedChars(o.job.naming.groupName))
                return false;
        } else if (a == "--date-format" && hasValue) {
            const std::string& v = args[++i];
            if (v != "0" && v != "1")
                return false;
            o.job.naming.dateForm = DateForm(v[0] - '0');
        } else if (a == "--no-rotate") {
            o.job.autoRotate = false;
        } else if (a == "--camera") {
            o.camera = true;
        } else if (a == "--list-cameras") {
            o.listCameras = true;
        } else if (a == "--skip-imported") {
            o.job.skipImported = true;
        } else if (a == "--delete-source") {
            o.job.deleteSource = true;
        } else if (a == "--clash" && hasValue) {
            const auto c = clashNamed(args[++i]);
            if (!c)
                return false;
            o.clash = *c;
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (o.listCameras)
        return positional.empty() && !o.camera;
    if (o.camera && positional.size() == 1) {
        o.destination = positional[0];
        return true;
    }
    if (positional.size() != 2)
        return false;
    o.source = positional[0];
    o.destination = positional[1];
    return true;
}

class Printer : public ImportEvents {
public:
    Printer(std::ostream& out, std::ostream& err, ClashChoice clash)
        : out_(out), err_(err), clash_(clash) {}
    void written(const std::string& s, const std::string& d) override {
        out_ << s << " -> " << d << "\n";
    }
    void failed(const std::string& s, const std::string& reason) override {
        err_ << s << ": " << reason << "\n";
    }
    void noted(const std::string& s, const std::string& text) override {
        err_ << s << ": " << text << "\n";
    }
    ClashChoice askClash(const std::string&, const std::string&) override { return clash_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    ClashChoice clash_;
};

} // namespace

namespace {

int listCameras(std::ostream& out, std::ostream& err) {
    std::vector<GPhotoCamera::Found> found;
    if (const int rc = GPhotoCamera::detect(found)) {
        err << res::format(res::IDS_ACQUIRE_CAMERA_OPEN_FAILED, GPhotoCamera::errorText(rc).c_str())
            << "\n";
        return 1;
    }
    if (found.empty()) {
        err << res::text(res::IDS_ACQUIRE_NO_CAMERA) << "\n";
        return 1;
    }
    for (const GPhotoCamera::Found& f : found)
        out << f.port << "\t" << f.model << "\t" << f.storage << "\n";
    return 0;
}

// The camera at port, or the first one found when port is empty.
std::shared_ptr<CameraSource> openCamera(const std::string& port, std::ostream& err) {
    std::string model, where = port;
    if (where.empty()) {
        std::vector<GPhotoCamera::Found> found;
        GPhotoCamera::detect(found);
        if (found.empty()) {
            err << res::text(res::IDS_ACQUIRE_NO_CAMERA) << "\n";
            return nullptr;
        }
        model = found.front().model;
        where = found.front().port;
    }
    std::unique_ptr<GPhotoCamera> camera;
    if (const int rc = GPhotoCamera::open(model, where, camera)) {
        err << res::format(res::IDS_ACQUIRE_CAMERA_OPEN_FAILED, GPhotoCamera::errorText(rc).c_str())
            << "\n";
        return nullptr;
    }
    return std::make_shared<CameraSource>(std::move(camera));
}

} // namespace

int runImportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    if (!parse(args, o)) {
        err << clihelp::usage("import");
        return 2;
    }
    if (o.listCameras)
        return listCameras(out, err);
    std::shared_ptr<CameraSource> camera;
    std::vector<CameraPhoto> photos;
    if (o.camera) {
        camera = openCamera(o.source, err);
        if (!camera)
            return 1;
        if (const int rc = camera->list(photos)) {
            err << res::format(res::IDS_ACQUIRE_CAMERA_FAILED, GPhotoCamera::errorText(rc).c_str())
                << "\n";
            return 1;
        }
        if (photos.empty()) {
            err << res::text(res::IDS_ACQUIRE_NO_FILES) << "\n";
            return 1;
        }
        for (const CameraPhoto& p : photos)
            o.job.sources.push_back(p.path());
    } else {
        std::error_code ec;
        if (!std::filesystem::exists(o.source, ec)) {
            err << res::format(res::IDS_ACQUIRE_NO_SOURCE_FOLDER, o.source.c_str()) << "\n";
            return 1;
        }
        if (!std::filesystem::is_directory(o.source, ec)) {
            err << o.source << ": " << FileErrorText::reason(ENOTDIR).toStdString() << "\n";
            return 1;
        }
        const AcquireScan::Result scan = AcquireScan::scan(o.source);
        if (!scan.readable || scan.files.empty()) {
            err << res::text(res::IDS_ACQUIRE_NO_FILES) << "\n";
            return 1;
        }
        o.job.sources = scan.files;
    }
    if (const int e = SafeWrite::makeFolders(o.destination)) {
        err << res::format(res::IDS_ACQUIRE_FOLDER_FAILED, o.destination.c_str(),
                           FileErrorText::reason(e).toStdString().c_str())
            << "\n";
        return 1;
    }
    o.job.folder = std::filesystem::absolute(o.destination).lexically_normal().string();
    while (o.job.folder.size() > 1 && o.job.folder.back() == '/')
        o.job.folder.pop_back();
    if (camera) {
        camera->prepare(std::move(photos), o.job.folder);
        o.job.fetcher = camera;
    }
    Printer events(out, err, o.clash);
    std::atomic<bool> stop{false}, detached{false};
    ImportCopier copier(std::move(o.job));
    const ImportSummary s = copier.run(events, stop, detached);
    out << "imported\t" << s.imported << "\nturned\t" << s.turned << "\nskipped\t" << s.skipped
        << "\nfailed\t" << s.failed << "\nnot reached\t" << s.notReached << "\ndeleted\t"
        << s.deleted << "\nalready imported\t" << s.alreadyImported << "\n";
    if (s.stoppedAtClash)
        err << res::text(res::IDS_ACQUIRE_STOPPED_AT_CLASH) << "\n";
    if (s.deviceGone)
        err << res::text(res::IDS_ACQUIRE_CAMERA_GONE) << "\n";
    return s.failed == 0 && s.deleteFailed == 0 && s.notReached == 0 ? 0 : 1;
}

} // namespace kamelo
