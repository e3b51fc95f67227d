#include "batchrunner.h"

#include "editwriter.h"
#include "imaging/core/savebyextension.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/pictureformat.h"
#include "imaging/result.h"
#include "platform/core/fileops.h"
#include "platform/core/staletemporaries.h"
#include "platform/fileerrortext.h"
#include "resources/stringtable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>

namespace kamelo::edit {

namespace {
std::string errnoText(int error) {
    return FileErrorText::reason(error).toStdString();
}

// Phones' HEIF and the cameras' RAW and JPEG XL files are read, not
// written: their pictures go into a JPEG of the same title, and the source
// stays as it is.
bool writtenAsJpeg(const std::string& source) {
    const std::string ext = imaging::extensionOf(source);
    switch (imaging::formatFromExtension(ext)) {
    case imaging::PictureFormat::Heif:
    case imaging::PictureFormat::Jxl:
    case imaging::PictureFormat::Raw:
        return imaging::saveFormatForExtension(ext, imaging::SaveTable::Batch) == 0;
    default:
        return false;
    }
}

} // namespace

BatchRunner::BatchRunner(BatchJob job) : job_(std::move(job)) {
    // Temporary files a killed run left where this one writes go first;
    // every run, whichever thread or command drives it, is made here.
    std::set<std::string> folders;
    for (size_t i = 0; i < job_.sources.size(); ++i) {
        const std::string destination = destinationOf(i);
        const size_t slash = destination.rfind('/');
        folders.insert(slash == std::string::npos ? std::string(".")
                       : slash == 0               ? std::string("/")
                                                  : destination.substr(0, slash));
    }
    for (const std::string& folder : folders)
        StaleTemporaries::sweepOnce(folder);
}

std::string BatchRunner::destinationOf(size_t index) const {
    const std::string& source = job_.sources[index];
    if (job_.convertTo) {
        const std::string beside = BatchDestination::forConversion(source, job_.convertTo->name);
        // Into another folder: the same name there.
        return job_.mode == DestinationMode::Folder
                   ? BatchDestination::forSource(beside, job_.mode, job_.folder)
                   : beside;
    }
    if (writtenAsJpeg(source)) {
        const std::string beside = BatchDestination::forConversion(source, "JPG");
        return job_.mode == DestinationMode::Folder
                   ? BatchDestination::forSource(beside, job_.mode, job_.folder)
                   : beside;
    }
    return BatchDestination::forSource(source, job_.mode, job_.folder);
}

std::string BatchRunner::prepareFolder() const {
    if (job_.mode != DestinationMode::Folder)
        return {};
    const int error = BatchDestination::ensureFolder(job_.folder);
    return error == 0 ? std::string() : errnoText(error);
}

BatchSummary BatchRunner::run(BatchEvents& events, const std::atomic<bool>& stop) {
    BatchSummary summary;
    events.started(int(job_.sources.size()));
    if (!job_.sources.empty()) {
        if (const std::string reason = prepareFolder(); !reason.empty()) {
            events.folderFailed(job_.folder, reason);
            summary.folderFailed = true;
            return summary;
        }
    }
    const auto ask = [&](const std::string& destination) {
        switch (overwrite_.decide(true)) {
        case OverwriteState::Decision::Write:
            return true;
        case OverwriteState::Decision::Skip:
            return false;
        case OverwriteState::Decision::Ask:
            break;
        }
        // Cancelling while the question is open answers it "no".
        const OverwriteAnswer answer = events.askOverwrite(destination);
        return !stop.load() && overwrite_.answer(answer);
    };
    for (size_t i = 0; i < job_.sources.size(); ++i) {
        if (stop.load()) {
            summary.cancelled = true;
            return summary;
        }
        events.begun(int(i), job_.sources[i]);
        int last = -1;
        const FileOutcome outcome = processFile(i, ask, [&](int percent) {
            if (percent != last)
                events.progressed(last = percent);
        });
        switch (outcome.kind) {
        case FileOutcome::Kind::Written:
            ++summary.written;
            events.written(job_.sources[i], outcome.destination);
            if (!outcome.note.empty())
                events.noted(job_.sources[i], outcome.note);
            break;
        case FileOutcome::Kind::Skipped:
            ++summary.skipped;
            break;
        case FileOutcome::Kind::Failed:
            ++summary.failed;
            events.failed(job_.sources[i], outcome.reason);
            break;
        }
    }
    summary.cancelled = stop.load() && summary.written + summary.skipped + summary.failed <
                                           int(job_.sources.size());
    return summary;
}

FileOutcome BatchRunner::processFile(size_t index,
                                     const std::function<bool(const std::string&)>& ask,
                                     const FileProgress& progress) const {
    FileOutcome out;
    const std::string& source = job_.sources[index];
    out.destination = destinationOf(index);
    const bool inPlace = FileOps::isSameFile(source, out.destination);

    struct stat st {};
    const bool exists = ::lstat(out.destination.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        out.reason = std::string(res::text(res::IDS_BATCH_NOT_A_FILE));
        return out;
    }
    // Writing over the source files was chosen with the mode; other
    // existing files are asked about.
    // A JPEG written beside a RAW or HEIF source may meet the camera's own
    // JPEG of that title: asked about too.
    const bool asks =
        (job_.askBeforeOverwrite && (job_.convertTo || job_.mode == DestinationMode::Folder)) ||
        (!job_.convertTo && job_.mode == DestinationMode::Overwrite && !inPlace);
    if (exists && asks && !ask(out.destination)) {
        out.kind = FileOutcome::Kind::Skipped;
        return out;
    }

    const std::any* record = index < job_.records.size() ? &job_.records[index] : nullptr;
    const bool upright = job_.upright || (job_.uprightFor && job_.uprightFor(record));
    if (job_.directWrite && !job_.convertTo) {
        if (const std::optional<int> written =
                job_.directWrite(source, out.destination, record, upright, out.reason, out.note)) {
            if (*written >= 1)
                out.kind = FileOutcome::Kind::Written;
            return out;
        }
    }

    // The decode counts for the first half of the file's progress, the
    // pixel step and the write for the rest.
    constexpr int kDecoded = 50;
    constexpr int kStepped = 60;
    const auto report = [&progress](int percent) {
        if (progress)
            progress(percent);
    };
    imaging::LoadOptions load;
    if (progress)
        load.onRows = [&report](const imaging::Bitmap& b, int first, int rows, int) {
            if (b.height() > 0)
                report(int(int64_t(first + rows) * kDecoded / b.height()));
            return 1;
        };
    imaging::Bitmap picture;
    int rc = imaging::PictureFile::load(source, picture, load);
    if (rc < 1) {
        out.reason = imaging::resultText(rc);
        return out;
    }
    if (inPlace) {
        // Only the first page is loaded; writing it back would drop the rest.
        imaging::FileInfo info;
        if (imaging::PictureFile::readInfo(source, info) >= 1 && info.pageCount > 1) {
            out.reason = std::string(res::text(res::IDS_BATCH_MULTIPAGE));
            return out;
        }
    }
    bool turned = false;
    if (upright) {
        const int orientation = imaging::Orientation::read(source);
        if (orientation != imaging::Orientation::kUpright) {
            rc = imaging::Orientation::makeUpright(picture, orientation);
            if (rc < 1) {
                out.reason = imaging::resultText(rc);
                return out;
            }
            turned = true;
        }
    }
    if (job_.step) {
        std::string reason;
        rc = job_.step(picture, record, reason);
        if (rc < 1) {
            out.reason = reason.empty() ? imaging::resultText(rc) : reason;
            return out;
        }
    }
    report(kStepped);
    PictureWrite write;
    write.picture = &picture;
    write.source = source;
    write.destination = out.destination;
    write.convertTo = job_.convertTo;
    write.qualityFactor = job_.qualityFactor;
    write.jpegQuality = job_.jpegQuality;
    write.turnedUpright = turned;
    if (job_.write) {
        rc = job_.write(write, out.reason, [&report](int percent) {
            report(kStepped + std::clamp(percent, 0, 100) * (100 - kStepped) / 100);
        });
    } else {
        EditWriter::Request request;
        request.picture = write.picture;
        request.source = write.source;
        request.destination = write.destination;
        request.convertTo = write.convertTo;
        request.qualityFactor = write.qualityFactor;
        request.jpegQuality = write.jpegQuality;
        request.turnedUpright = write.turnedUpright;
        rc = EditWriter::write(request, out.reason);
    }
    if (rc >= 1)
        out.kind = FileOutcome::Kind::Written;
    return out;
}

} // namespace kamelo::edit
