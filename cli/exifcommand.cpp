#include "exifcommand.h"

#include "cli/commandhelp.h"
#include "exif/core/jpegsectionreader.h"
#include "exif/exifreport.h"
#include "imaging/core/filebytes.h"

#include <cstdio>
#include <ostream>
#include <unistd.h>

namespace kamelo {

namespace {

void printRaw(const std::string& path, std::ostream& out) {
    ExifImageInfo i;
    std::FILE* f = imaging::openRegularStream(path);
    std::string error;
    bool ok = false;
    if (f) {
        JpegSectionReader reader(&i);
        ok = reader.readSections(f);
        error = reader.errorText();
        std::fclose(f);
    }
    out << "sections read\t" << (ok ? "yes" : "no") << "\n"
        << "error\t" << error << "\n"
        << "has EXIF\t" << i.hasExif << "\n"
        << "EXIF version\t" << i.exifVersion << "\n"
        << "make\t" << i.cameraMake << "\n"
        << "model\t" << i.cameraModel << "\n"
        << "date and time\t" << i.dateTime << "\n"
        << "width\t" << i.width << "\n"
        << "height\t" << i.height << "\n"
        << "orientation\t" << i.orientation << "\n"
        << "is colour\t" << i.isColor << "\n"
        << "process\t" << i.process << "\n"
        << "flash used\t" << i.flashUsed << "\n"
        << "focal length\t" << i.focalLength << "\n"
        << "exposure time\t" << i.exposureTime << "\n"
        << "F-number\t" << i.apertureFNumber << "\n"
        << "subject distance\t" << i.distance << "\n"
        << "CCD width\t" << i.ccdWidth << "\n"
        << "exposure bias\t" << i.exposureBias << "\n"
        << "light source\t" << i.whiteBalance << "\n"
        << "metering mode\t" << i.meteringMode << "\n"
        << "exposure program\t" << i.exposureProgram << "\n"
        << "ISO\t" << i.isoEquivalent << "\n"
        << "compression level\t" << i.compressionLevel << "\n"
        << "focal plane X resolution\t" << i.focalPlaneXRes << "\n"
        << "focal plane Y resolution\t" << i.focalPlaneYRes << "\n"
        << "focal plane unit\t" << i.focalPlaneUnits << "\n"
        << "X resolution\t" << i.xResolution << "\n"
        << "Y resolution\t" << i.yResolution << "\n"
        << "resolution unit\t" << i.resolutionUnit << "\n"
        << "brightness\t" << i.brightness << "\n"
        << "comment\t" << i.comments << "\n"
        << "thumbnail\t" << i.thumbnailOffset << " " << i.thumbnailSize << "\n";
}

} // namespace

int runExifCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool raw = false;
    std::vector<std::string> files;
    for (const std::string& a : args)
        a == "--raw" ? void(raw = true) : files.push_back(a);
    if (files.empty()) {
        err << clihelp::usage("exif");
        return 2;
    }
    int rc = 0;
    for (const std::string& f : files) {
        if (files.size() > 1)
            out << "== " << f << "\n";
        // Folders, devices and FIFOs are refused here with the reason; the
        // readers below refuse them too, but silently.
        int fd = -1;
        std::string reason;
        if (imaging::openRegularFile(f, fd, &reason) < 1) {
            err << reason << "\n";
            rc = 1;
            continue;
        }
        ::close(fd);
        if (raw)
            printRaw(f, out);
        else
            for (const ExifRow& row : ExifReport::rows(f))
                out << row.label << "\t" << row.value << "\n";
    }
    return rc;
}

} // namespace kamelo
