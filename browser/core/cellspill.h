#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kamelo {

// Cells of a folder's thumbnails parked on disk while the folder loads, so
// that a folder of ten thousand pictures does not hold every cell in memory
// until its cache file is written. One fixed-size slot per image index in a
// file nobody else can see (unlinked at once); it goes with this object.
// Cells may be read on one thread while another stores them (the cache
// pair is written on a worker while the list goes on).
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
    // Stores the cell of image index; false when it could not be written
    // (the caller keeps the cell in memory then).
    bool put(int index, const uint8_t* cell);
    // Whether index was stored, and its bytes (bytesPerCell of them).
    bool has(int index) const;
    bool get(int index, uint8_t* cell) const;

private:
    int fd_ = -1;
    size_t cellBytes_;
    mutable std::mutex mutex_; // guards stored_
    std::vector<bool> stored_;
};

} // namespace kamelo
