#pragma once

#include "imaging/core/filebytes.h"

#include <memory>

class LibRaw;

namespace kamelo::imaging::rawcodec {

// One LibRaw instance over a file's bytes (LibRaw is thread-safe only with
// an instance per call), opened with this program's limits: whatever LibRaw
// is asked to allocate is first checked against what the file can hold and
// the memory budget, and a stop asked for on this thread (StopScope) ends a
// development between its steps.
class RawSession {
public:
    RawSession();
    ~RawSession();
    RawSession(const RawSession&) = delete;
    RawSession& operator=(const RawSession&) = delete;

    // Reads the file's headers (no pixels). Returns 1 or an error code.
    int open(ByteView bytes);
    // Reads the headers of a file on disk through LibRaw's own stream, so
    // only the parts it needs are read (path is a regular file of
    // fileBytes bytes).
    int openFile(const char* path, size_t fileBytes);
    LibRaw& raw() { return *raw_; }
    const LibRaw& raw() const { return *raw_; }
    size_t fileBytes() const { return fileBytes_; }

    // Whether the sensor data may be unpacked and developed: its size
    // against the file's length, the pixel limit and the memory budget.
    // halfSize: the development at half size (no interpolation).
    int checkDevelopment(bool halfSize) const;
    // Unpacks the sensor data. Returns 1 or an error code.
    int unpack();
    // Unpacks the embedded preview. Returns 1, kNoStamp or an error code.
    int unpackPreview();
    // A LibRaw error, or a stop, as one of this program's result codes.
    int codeOf(int librawError) const;
    // LibRaw met damaged or missing data while unpacking.
    int dataErrorCode() const;

private:
    struct Watch;
    // A RawLibrary, which can tell whether a preview is safe to unpack.
    std::unique_ptr<LibRaw> raw_;
    std::unique_ptr<Watch> watch_;
    size_t fileBytes_ = 0;
};

} // namespace kamelo::imaging::rawcodec
