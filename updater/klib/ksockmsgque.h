#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vela {

// A first-in-first-out byte queue kept as the blocks that were appended, so
// that a reply line or a file chunk is taken without moving the rest.
class KSockMsgQue {
public:
    // Appends a copy of the bytes (nothing for a length of 0).
    void push(const void* data, uint32_t length);
    // Copies `length` bytes to `dest` (when not null) and, with `consume`,
    // removes them. Fails without change when fewer bytes are queued.
    bool read(void* dest, uint32_t length, bool consume);
    bool skip(uint32_t length) { return read(nullptr, length, true); }
    // All queued bytes, left in place.
    std::string peekAll() const;
    void clear();

    uint32_t size() const { return total_; }
    uint32_t blockCount() const { return static_cast<uint32_t>(blocks_.size()); }
    bool empty() const { return total_ == 0; }

private:
    struct Block {
        std::vector<char> data;
        uint32_t readPos = 0;
    };
    std::deque<Block> blocks_;
    uint32_t total_ = 0;
};

} // namespace vela
