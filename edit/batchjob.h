#pragma once

#include "edit/core/batchdestination.h"
#include "edit/core/conversionformat.h"
#include "imaging/bitmap.h"

#include <any>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kamelo::edit {

// An operation's pixel work on one loaded picture, with the file's own
// record when the run has per-file settings (nullptr otherwise). Returns 1
// or an error code; reason may be set to a Korean sentence.
using PixelStep =
    std::function<int(imaging::Bitmap& picture, const std::any* record, std::string& reason)>;

// A file written without decoding it (a JPEG turned on its compressed
// data), tried before the usual load, step and write. nullopt: it does not
// apply and the file goes the usual way; else 1 or an error code with reason
// set. upright: the file is to be stood upright by its EXIF orientation
// first. note: a Korean remark for the file's log line.
using DirectWrite = std::function<std::optional<int>(
    const std::string& source, const std::string& destination, const std::any* record, bool upright,
    std::string& reason, std::string& note)>;

// How far the file in work has come, 0..100.
using FileProgress = std::function<void(int percent)>;

// Writes one finished picture (source and destination as in EditWriter's
// request); 1 or an error code with reason set. It may report how far the
// write has come. None: EditWriter, which does not report.
struct PictureWrite {
    const imaging::Bitmap* picture = nullptr;
    std::string source;
    std::string destination;
    std::optional<ConversionFormat> convertTo;
    int qualityFactor = 2;
    std::optional<int> jpegQuality;
    bool turnedUpright = false;
};
using PictureWriter = std::function<int(const PictureWrite& write, std::string& reason,
                                        const FileProgress& progress)>;

// Everything one batch run needs, taken by value when the run starts so
// that nothing the user interface changes afterwards reaches the worker.
struct BatchJob {
    std::vector<std::string> sources; // in list order
    std::vector<std::any> records;    // empty, or one per source, paired by index
    DestinationMode mode = DestinationMode::Overwrite;
    std::string folder;                        // DestinationMode::Folder
    bool askBeforeOverwrite = true;            // frame decoration replaces without asking
    std::optional<ConversionFormat> convertTo; // a conversion: beside the source
    int qualityFactor = 2;                     // a conversion's JPEG quality factor
    std::optional<int> jpegQuality;            // 0..100, in place of the factor
    bool upright = true;                       // turn pictures by their EXIF orientation
    // Files whose record asks to be stood upright by their EXIF orientation
    // although the run does not turn pictures (the rotate tool's "자동 회전").
    std::function<bool(const std::any* record)> uprightFor;
    PixelStep step; // none: the run only writes
    DirectWrite directWrite;
    PictureWriter write; // none: EditWriter
};

} // namespace kamelo::edit
