#include "updater/klib/ksockmsgque.h"

#include <cstring>

namespace vela {

void KSockMsgQue::push(const void* data, uint32_t length) {
    if (length == 0)
        return;
    const char* bytes = static_cast<const char*>(data);
    blocks_.push_back({std::vector<char>(bytes, bytes + length), 0});
    total_ += length;
}

bool KSockMsgQue::read(void* dest, uint32_t length, bool consume) {
    if (length > total_)
        return false;
    char* out = static_cast<char*>(dest);
    uint32_t left = length;
    size_t index = 0;
    uint32_t peekPos = blocks_.empty() ? 0 : blocks_.front().readPos;
    while (left > 0) {
        Block& block = blocks_[index];
        uint32_t pos = consume ? block.readPos : peekPos;
        uint32_t available = static_cast<uint32_t>(block.data.size()) - pos;
        uint32_t take = available < left ? available : left;
        if (out) {
            std::memcpy(out, block.data.data() + pos, take);
            out += take;
        }
        left -= take;
        if (consume) {
            block.readPos += take;
            if (block.readPos == block.data.size())
                blocks_.pop_front();
        } else if (take == available) {
            ++index;
            peekPos = index < blocks_.size() ? blocks_[index].readPos : 0;
        } else {
            peekPos += take;
        }
    }
    if (consume)
        total_ -= length;
    return true;
}

std::string KSockMsgQue::peekAll() const {
    std::string out;
    out.reserve(total_);
    for (const auto& block : blocks_)
        out.append(block.data.data() + block.readPos, block.data.size() - block.readPos);
    return out;
}

void KSockMsgQue::clear() {
    blocks_.clear();
    total_ = 0;
}

} // namespace vela
