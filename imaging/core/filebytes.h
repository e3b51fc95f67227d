#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kamelo::imaging {

// A read-only span over a file's bytes.
struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Opens path for reading only when it is a regular file. A FIFO, device,
// socket or folder named like a picture is refused without ever blocking (a
// FIFO is opened non-blocking, so no writer is waited for). Returns 1 with fd
// set (blocking reads, close-on-exec), or kFileNotFound / kFileRead; reason,
// when given, receives a Korean sentence saying why.
int openRegularFile(const std::string& path, int& fd, std::string* reason = nullptr);
// The same as a stdio stream; null on failure.
std::FILE* openRegularStream(const std::string& path, int* code = nullptr,
                             std::string* reason = nullptr);

// Gives v room for at least bytes, keeping what it holds; new room of a
// megabyte or more is faulted in at once (pagefault.h).
void reserveFaulted(std::vector<uint8_t>& v, size_t bytes);

// Reads a whole file. Returns 1, or kFileNotFound / kFileRead / kTooLarge.
int readWholeFile(const std::string& path, std::vector<uint8_t>& out);
// Reads at most maxBytes from the start of a file.
int readFileHead(const std::string& path, size_t maxBytes, std::vector<uint8_t>& out);

// A file written piece by piece into a temporary file beside path and
// renamed into place by commit(), so an existing file survives a failed or
// interrupted write. Without commit() the temporary file is removed.
//
// When path is a symbolic link, the file it points to is replaced (the link
// stays a link). A replaced file's permission bits, and its owner and group
// where the user may set them, pass to the new file. A replaced file with
// more than one hard link is still replaced by rename: its other names keep
// the previous content. Writing in place instead would leave a half-written
// picture behind after a crash or a full disk, and losing the old content
// is worse than a link that no longer shares it.
// The errno of the last AtomicFile on this thread that failed (ENOSPC, EROFS,
// EACCES, ...), 0 when the last one succeeded; so callers several layers up
// can say why a save failed.
int lastWriteError();

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
    std::string path_; // the file finally replaced (links resolved)
    std::string tmp_;
    int fd_ = -1;
    bool ok_ = false;
};

// Writes bytes to a temporary file beside path and renames it into place, so
// an existing file survives a failed or interrupted write.
int writeFileAtomically(const std::string& path, const uint8_t* data, size_t size);

} // namespace kamelo::imaging
