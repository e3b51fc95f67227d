#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::imaging {

// A read-only span over a file's bytes.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Reads a whole file. Returns 1, or kFileNotFound / kFileRead / kTooLarge.
int readWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Reads at most maxBytes from the start of a file.
int readFileHead(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out);

// A file written piece by piece into a temporary file beside path and
// renamed into place by commit(), so an existing file survives a failed or
// interrupted write. Without commit() the temporary file is removed.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False once any write has failed.
    bool write(const uint8_t* data, size_t size);
    // Returns 1, or kFileWrite when anything failed (the old file is kept).
    int commit();

private:
    std::string path_;
    std::string tmp_;
    int fd_ = -1;
    bool ok_ = false;
};

// Writes bytes to a temporary file beside path and renames it into place, so
// an existing file survives a failed or interrupted write.
int writeFileAtomically(const std::string& path, const uint8_t* data, size_t size);

} // namespace kamelo::imaging
