#include "cellspill.h"

#include "closeaside.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace kamelo {

namespace {

// Writes all of n bytes at offset (short writes and signals retried).
bool writeAt(int fd, const uint8_t* p, size_t n, off_t offset) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, offset);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
        offset += w;
    }
    return true;
}

bool readAt(int fd, uint8_t* p, size_t n, off_t offset) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, p, n, offset);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= size_t(r);
        offset += r;
    }
    return true;
}

} // namespace

CellSpill::CellSpill(const std::string& folder, size_t bytesPerCell) : cellBytes_(bytesPerCell) {
    if (folder.empty() || bytesPerCell == 0)
        return;
#ifdef O_TMPFILE
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd_ < 0) {
        // File systems without O_TMPFILE: a named file, unlinked at once.
        std::string name = folder + (folder.back() == '/' ? "" : "/") + "cells-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(name.c_str());
    }
}

CellSpill::~CellSpill() {
    closeAside(fd_); // a big spill takes a while to free
}

bool CellSpill::put(int index, const uint8_t* cell) {
    if (fd_ < 0 || index < 0)
        return false;
    if (!writeAt(fd_, cell, cellBytes_, off_t(index) * off_t(cellBytes_)))
        return false;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (size_t(index) >= stored_.size())
        stored_.resize(size_t(index) + 1, false);
    stored_[size_t(index)] = true;
    return true;
}

bool CellSpill::has(int index) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return index >= 0 && size_t(index) < stored_.size() && stored_[size_t(index)];
}

bool CellSpill::get(int index, uint8_t* cell) const {
    return has(index) && readAt(fd_, cell, cellBytes_, off_t(index) * off_t(cellBytes_));
}

} // namespace kamelo
