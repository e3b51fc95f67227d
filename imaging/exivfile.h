#pragma once

#include <exiv2/exiv2.hpp>

#include <string>

namespace kamelo::imaging {

// Sets the library up, once: the XMP toolkit with a lock (it is shared by
// every thread that reads or writes metadata, and batch runs use several),
// its warnings muted, ISO base media files read. Every caller of the
// library calls it first, so that the library is opened and set up on first
// use and never by a caller without the lock.
void exivReady();

// A picture's metadata opened through Exiv2. The library opens files by
// name and would wait forever on a FIFO or read a device without end, so
// the file is checked and opened here first and the library reads that very
// file through its descriptor (or, without /proc, a copy in memory).
class ExivFile {
public:
    ExivFile() = default;
    ~ExivFile();
    ExivFile(const ExivFile&) = delete;
    ExivFile& operator=(const ExivFile&) = delete;

    // Opens path and reads its metadata. Returns 1, or kFileNotFound /
    // kFileRead when it is no readable regular file, kCorruptData when the
    // library cannot read it. Never throws.
    int open(const std::string& path);
    Exiv2::Image* image() const { return image_.get(); }
    // The checked file, open for reading; -1 before a successful open.
    int fd() const { return image_.get() ? fd_ : -1; }
    // A HEIF, AVIF, JPEG XL or WebP file's XMP packet as stored: image()
    // holds the library's rewriting of it, or nothing when it could not
    // parse it.
    const std::string& storedXmp() const { return storedXmp_; }

private:
    int fd_ = -1;
    std::string storedXmp_;
    Exiv2::Image::AutoPtr image_;
};

} // namespace kamelo::imaging
