#pragma once

#include "importcopier.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

// What the copier's halves share: the open source file and the sizes of
// their reads and writes.
namespace kamelo::acquire {

namespace copying {

constexpr size_t kChunk = size_t(1) << 20;
// The first bytes read of every file; a JPEG's read goes on to the end of
// its segments before the scan (the camera date and orientation), up to
// kHead: the kernel copies the file from its start, so whatever more is read
// here is read twice.
constexpr size_t kFirstRead = size_t(16) << 10;
constexpr size_t kHead = size_t(128) << 10;
// Bytes the kernel copies at a time, between checks of the stop flag.
constexpr uint64_t kKernelChunk = uint64_t(8) << 20;
// A picture read whole to be turned; a larger one is copied as it is.
constexpr uint64_t kMaxTurnBytes = uint64_t(512) << 20;
constexpr int kJpegQuality = 96;
constexpr uint16_t kOrientationTag = 274;

std::string errnoText(int error);
std::string tableText(int id);
// Reads up to size bytes; the count, or -1 with errno.
ssize_t readFull(int fd, uint8_t* data, size_t size);
// Whether a picture of this name is written turned; anything else is
// copied as it is.
bool turnable(const std::string& path);

} // namespace copying

struct ImportCopier::Source {
    std::string path;
    int fd = -1;
    uint64_t size = 0;
    struct timespec mtime {};
    size_t headSize = 0;        // bytes of buffer_ read so far
    bool headAtEnd = false;     // they are the whole file
    std::vector<uint8_t> whole; // the whole file, when it is to be turned
    ContentSum sum;             // of every byte read
    std::string turnNote;       // how a turned JPEG was written, when worth saying
    ~Source() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace kamelo::acquire
