#include "rawcodec.h"

#include "imaging/result.h"
#include "imaging/rowbands.h"
#include "rawdevelop.h"
#include "rawformat.h"
#include "rawifd.h"
#include "rawpreview.h"
#include "rawsession.h"
#include "rawspot.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace kamelo::imaging::rawcodec {

namespace {

// LibRaw reports its own failures as codes, but nothing may leave a call
// into it as an exception.
template <class F> int guarded(F&& operation) noexcept {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    } catch (...) {
        return result::kCorruptData;
    }
}

// The preview standing for a picture developed at width x height shown at
// 1/denominator, or a half-size development when the file has none usable.
int quickPicture(RawSession& session, int denominator, Bitmap& out) {
    const libraw_image_sizes_t& s = session.raw().imgdata.sizes;
    const int minWidth = (s.width + denominator - 1) / denominator;
    const int minHeight = (s.height + denominator - 1) / denominator;
    int rc = session.unpackPreview();
    if (rc >= 1)
        rc = previewBitmap(session, minWidth, minHeight, out);
    if (rc >= 1 || rc == result::kAborted || stopAsked())
        return rc;
    out.free();
    return develop(session, true, out);
}

// The size and camera format of an opened session (head: the file's first bytes).
int infoOf(RawSession& session, int opened, ByteView head, FileInfo& info) {
    if (opened < 1)
        return opened;
    LibRaw& raw = session.raw();
    // The size a development gives (pixel aspect and rotated sensors
    // included), not turned by the orientation.
    raw.imgdata.params.user_flip = 0;
    const int rc = session.codeOf(raw.adjust_sizes_info_only());
    if (rc < 1)
        return rc;
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    if (s.width == 0 || s.height == 0)
        return result::kCorruptData;
    info.format = PictureFormat::Raw;
    info.width = s.width;
    info.height = s.height;
    info.bitsPerPixel = 24;
    info.pageCount = 1;
    const std::string camera =
        formatName(head, raw.imgdata.idata.make, raw.imgdata.idata.dng_version != 0);
    info.compression = camera.empty() ? "RAW" : "RAW (" + camera + ")";
    return result::kSuccess;
}

} // namespace

int readInfo(ByteView bytes, FileInfo& info) {
    return guarded([&]() -> int {
        RawSession session;
        return infoOf(session, session.open(bytes), bytes, info);
    });
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    return guarded([&]() -> int {
        out.free();
        RawSession session;
        int rc = session.open(bytes);
        if (rc < 1)
            return rc;
        rc = options.scaleDenominator > 1 ? quickPicture(session, options.scaleDenominator, out)
                                          : develop(session, false, out);
        if (rc < 1) {
            out.free();
            return rc;
        }
        return reportBands(out, options);
    });
}

int readStamp(ByteView bytes, Bitmap& out) {
    return readStampCovering(bytes, 0, 0, out);
}

namespace {

// The preview of a session opened with result `opened`, as readStampCovering gives it.
int stampOf(RawSession& session, int opened, int minWidth, int minHeight, Bitmap& out) {
    int rc = opened;
    if (rc >= 1)
        rc = session.unpackPreview();
    if (rc >= 1)
        rc = previewBitmap(session, minWidth, minHeight, out);
    if (rc < 1)
        out.free();
    return rc;
}

} // namespace

int readStampCovering(ByteView bytes, int minWidth, int minHeight, Bitmap& out) {
    return guarded([&]() -> int {
        out.free();
        if (bytes.data && stampFromIfds(RangeReader(bytes), minWidth, minHeight, out) >= 1)
            return result::kSuccess;
        RawSession session;
        return stampOf(session, session.open(bytes), minWidth, minHeight, out);
    });
}

namespace {

// A regular file opened for reading, closed with this.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) {
        rc_ = openRegularFile(path, fd_);
        struct stat st {};
        if (rc_ >= 1 && fstat(fd_, &st) != 0)
            rc_ = result::kFileRead;
        size_ = rc_ >= 1 ? uint64_t(std::max<off_t>(st.st_size, 0)) : 0;
    }
    ~OpenFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int result() const { return rc_; }
    RangeReader reader() const { return RangeReader(fd_, size_); }

private:
    int fd_ = -1;
    int rc_ = result::kFileRead;
    uint64_t size_ = 0;
};

int openOnDisk(const std::string& path, RawSession& session) {
    int fd = -1;
    if (const int rc = openRegularFile(path, fd); rc < 1)
        return rc;
    struct stat st {};
    const bool known = fstat(fd, &st) == 0;
    close(fd);
    if (!known)
        return result::kFileRead;
    if (st.st_size <= 0)
        return result::kTruncated;
    // LibRaw's stream reads only the parts it needs.
    return session.openFile(path.c_str(), size_t(st.st_size));
}

} // namespace

int readInfo(const std::string& path, ByteView head, FileInfo& info) {
    return guarded([&]() -> int {
        RawSession session;
        return infoOf(session, openOnDisk(path, session), head, info);
    });
}

int decodeFirstPicture(const std::string& path, const LoadOptions& options, Bitmap& out) {
    return guarded([&]() -> int {
        out.free();
        const OpenFile file(path);
        if (file.result() < 1)
            return file.result();
        return firstPictureFromIfds(file.reader(), options, out);
    });
}

int readStampCovering(const std::string& path, int minWidth, int minHeight, Bitmap& out) {
    return guarded([&]() -> int {
        out.free();
        {
            // The IFDs and the preview's own bytes: a thumbnail reads a
            // fraction of the file and leaves LibRaw's parse out.
            const OpenFile file(path);
            if (file.result() < 1)
                return file.result();
            if (stampFromIfds(file.reader(), minWidth, minHeight, out) >= 1)
                return result::kSuccess;
        }
        RawSession session;
        return stampOf(session, openOnDisk(path, session), minWidth, minHeight, out);
    });
}

int readOrientation(const std::string& path) {
    const int orientation = guarded([&]() -> int {
        {
            // A DNG keeps it in IFD0; other makers' files may say it in
            // their maker notes, which LibRaw reads.
            const OpenFile file(path);
            if (file.result() < 1)
                return 1;
            const RawLayout layout = readLayout(file.reader());
            if (layout.dng)
                return layout.orientation;
        }
        RawSession session;
        if (openOnDisk(path, session) < 1)
            return 1;
        return exifOrientation(session.raw().imgdata.sizes.flip);
    });
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

} // namespace kamelo::imaging::rawcodec
