#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kamelo {

// Cells of a folder's thumbnails parked on disk while the folder loads, so
// that a folder of ten thousand pictures does not hold every cell in memory
// until its cache file is written. One fixed-size slot per image index in a
// file nobody else can see (unlinked at once); it goes with this object.
// Cells may be read on one thread while another stores them (the cache
// pair is written on a worker while the list goes on). The writes go on a
// thread of their own: a disk behind with its writing holds a writer for
// tens of milliseconds, which the window's thread must not wait out; a cell
// waiting for its write is read from memory.
class CellSpill {
public:
    // bytesPerCell: the size of one cell's pixels. folder: where the file
    // lives (a disk folder: memory-backed /tmp would defeat the purpose).
    CellSpill(const std::string& folder, size_t bytesPerCell);
    ~CellSpill();
    CellSpill(const CellSpill&) = delete;
    CellSpill& operator=(const CellSpill&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    size_t bytesPerCell() const { return cellBytes_; }
    // Stores the cell of image index; false when it cannot be taken (no
    // file, or too many cells still waiting for the disk): the caller keeps
    // the cell in memory then. A cell whose write fails stays in memory.
    bool put(int index, const uint8_t* cell);
    // Whether index was stored, and its bytes (bytesPerCell of them).
    bool has(int index) const;
    bool get(int index, uint8_t* cell) const;

    // Waits until every cell taken so far was written or failed.
    void flush();

    // Bytes of cells that may wait for the disk at once.
    static constexpr size_t kMaxWaiting = size_t(32) << 20;

private:
    using Cell = std::shared_ptr<const std::vector<uint8_t>>;
    void writeLoop();

    int fd_ = -1;
    size_t cellBytes_;
    mutable std::mutex mutex_; // guards all below
    std::condition_variable changed_;
    std::vector<bool> stored_;
    std::unordered_map<int, Cell> waiting_; // not on the disk (yet)
    std::deque<int> order_;                 // indexes to write, oldest first
    size_t waitingBytes_ = 0;               // of cells still to be written
    bool stopping_ = false;
    std::thread writer_;
};

} // namespace kamelo
