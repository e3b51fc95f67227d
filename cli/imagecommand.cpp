#include "imagecommand.h"

#include "cli/commandhelp.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/core/filebytes.h"
#include "imaging/metadatacarrier.h"
#include "imaging/picturefile.h"
#include "imaging/picturesaver.h"
#include "imaging/result.h"
#include "platform/core/staletemporaries.h"

#include <cstdlib>
#include <ostream>
#include <unistd.h>

namespace kamelo {

using namespace kamelo::imaging;

namespace {

// The error of a failed read, with the reason when the file could not be
// opened (missing, a folder, a FIFO, a device).
std::string failureText(const std::string& path, int rc) {
    if (rc == result::kFileRead || rc == result::kFileNotFound) {
        int fd = -1;
        std::string reason;
        if (openRegularFile(path, fd, &reason) < 1 && !reason.empty())
            return reason + " (" + std::to_string(rc) + ")";
        if (fd >= 0)
            ::close(fd);
    }
    return path + ": " + resultText(rc) + " (" + std::to_string(rc) + ")";
}

} // namespace

int runInfoCommand(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
    if (files.empty()) {
        err << clihelp::usage("info");
        return 2;
    }
    int status = 0;
    for (const std::string& path : files) {
        FileInfo info;
        const int rc = PictureFile::readInfo(path, info);
        if (rc < 1) {
            err << failureText(path, rc) << "\n";
            status = 1;
            continue;
        }
        out << path << '\t' << formatName(info.format) << '\t' << info.width << '\t' << info.height
            << '\t' << info.bitsPerPixel << '\t' << info.pageCount << '\t' << info.compression
            << '\t' << info.sizeOnDisk << '\n';
    }
    return status;
}

int runResaveCommand(const std::vector<std::string>& args, std::ostream& err) {
    int qualityFactor = 2;
    if (args.size() == 4 && args[2] == "--quality-factor") {
        char* end = nullptr;
        const long v = std::strtol(args[3].c_str(), &end, 10);
        if (*end != '\0' || v < 2 || v > 255) {
            err << "품질 값은 2부터 255까지입니다: " << args[3] << "\n";
            return 2;
        }
        qualityFactor = static_cast<int>(v);
    } else if (args.size() != 2) {
        err << clihelp::usage("resave");
        return 2;
    }
    const int format = PictureSaver::formatForExtension(extensionOf(args[1]));
    if (format == 0) {
        err << args[1] << ": " << resultText(result::kSaveFormat) << "\n";
        return 2;
    }
    Bitmap bitmap;
    int rc = PictureFile::load(args[0], bitmap);
    if (rc < 1) {
        err << failureText(args[0], rc) << "\n";
        return 1;
    }
    // What the source carries goes along into the formats that hold it.
    const MetadataCarrier keep = JpegPropertyInfo::read(args[0]).carrier();
    StaleTemporaries::sweepOnceBeside(args[1]);
    rc = PictureSaver::save(bitmap, args[1], format, qualityFactor, &keep);
    if (rc < 1) {
        err << args[1] << ": " << resultText(rc) << " (" << rc << ")\n";
        return 1;
    }
    return 0;
}

} // namespace kamelo
