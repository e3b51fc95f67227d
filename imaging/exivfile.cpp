#include "exivfile.h"

#include "core/filebytes.h"
#include "result.h"

#include <mutex>
#include <unistd.h>
#include <vector>

namespace kamelo::imaging {

namespace {

// The XMP toolkit is shared by every thread that reads or writes metadata
// (batch runs use several); it is set up with a lock before main, before
// any other caller can set it up without one.
std::mutex xmpMutex;

void lockXmp(void* mutex, bool lock) {
    if (lock)
        static_cast<std::mutex*>(mutex)->lock();
    else
        static_cast<std::mutex*>(mutex)->unlock();
}

const bool xmpReady = Exiv2::XmpParser::initialize(lockXmp, &xmpMutex);

} // namespace

ExivFile::~ExivFile() {
    image_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

int ExivFile::open(const std::string& path) {
    image_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    int rc = openRegularFile(path, fd_);
    if (rc < 1)
        return rc;
    try {
        // The descriptor's name in /proc reopens the checked file itself,
        // not whatever the path names by now.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::access(self.c_str(), R_OK) == 0) {
            image_ = Exiv2::ImageFactory::open(self);
        } else {
            std::vector<uint8_t> bytes;
            rc = readWholeFile(path, bytes);
            if (rc < 1)
                return rc;
            image_ = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
        }
        if (!image_.get())
            return result::kCorruptData;
        image_->readMetadata();
        return result::kSuccess;
    } catch (const std::bad_alloc&) {
        image_.reset();
        return result::kNoMemory;
    } catch (const std::exception&) {
        image_.reset();
        return result::kCorruptData;
    }
}

} // namespace kamelo::imaging
