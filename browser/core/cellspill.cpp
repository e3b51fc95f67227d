#include "cellspill.h"

#include "closeaside.h"

#include <algorithm>
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
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable())
        writer_.join();
    closeAside(fd_); // a big spill takes a while to free
}

bool CellSpill::put(int index, const uint8_t* cell) {
    if (fd_ < 0 || index < 0)
        return false;
    std::unique_lock<std::mutex> lock(mutex_);
    if (waitingBytes_ + cellBytes_ > kMaxWaiting)
        return false;
    if (!writer_.joinable()) {
        try {
            writer_ = std::thread([this] { writeLoop(); });
        } catch (...) {
            return false; // no thread to spare: the cell stays in memory
        }
    }
    waiting_[index] = std::make_shared<const std::vector<uint8_t>>(cell, cell + cellBytes_);
    order_.push_back(index);
    waitingBytes_ += cellBytes_;
    if (size_t(index) >= stored_.size())
        stored_.resize(size_t(index) + 1, false);
    stored_[size_t(index)] = true;
    lock.unlock();
    changed_.notify_all();
    return true;
}

void CellSpill::writeLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !order_.empty(); });
        if (stopping_)
            return;
        const int index = order_.front();
        order_.pop_front();
        const auto it = waiting_.find(index);
        const Cell cell = it != waiting_.end() ? it->second : nullptr;
        if (cell) {
            lock.unlock();
            const bool written =
                writeAt(fd_, cell->data(), cellBytes_, off_t(index) * off_t(cellBytes_));
            lock.lock();
            // A cell stored again meanwhile has its own turn in the queue;
            // one that failed to be written is kept here.
            const auto now = waiting_.find(index);
            if (written && now != waiting_.end() && now->second == cell)
                waiting_.erase(now);
        }
        waitingBytes_ -= cellBytes_;
        changed_.notify_all();
    }
}

void CellSpill::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return order_.empty() && waitingBytes_ == 0; });
}

bool CellSpill::has(int index) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return index >= 0 && size_t(index) < stored_.size() && stored_[size_t(index)];
}

bool CellSpill::get(int index, uint8_t* cell) const {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (index < 0 || size_t(index) >= stored_.size() || !stored_[size_t(index)])
            return false;
        const auto it = waiting_.find(index);
        if (it != waiting_.end()) {
            std::copy(it->second->begin(), it->second->end(), cell);
            return true;
        }
    }
    // Written before it left the waiting cells, so the file has it.
    return readAt(fd_, cell, cellBytes_, off_t(index) * off_t(cellBytes_));
}

} // namespace kamelo
