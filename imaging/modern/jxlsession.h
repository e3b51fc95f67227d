#pragma once

#include "imaging/core/filebytes.h"

#include <jxl/decode.h>

#include <cstddef>

namespace kamelo::imaging::jxl {

// One libjxl decoder over a file's bytes held in memory, all handed over at
// once: libjxl 0.7 gives no final pixels of a frame before its last byte
// has arrived, so feeding it piece by piece would only cost a copy.
class Session {
public:
    Session(ByteView bytes, int events);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // False when libjxl could not set up a decoder (no memory).
    bool valid() const { return dec_ != nullptr && fedOk_; }
    JxlDecoder* decoder() const { return dec_; }

    // Pixels as stored: the codestream's orientation is reported, not applied.
    bool keepOrientation();
    // Decodes on every core; the threads are started by useThreadsFor() once
    // the picture's size is known, so small pictures stay on one.
    bool prepareThreads();
    void useThreadsFor(size_t width, size_t height);

    // The next event; JXL_DEC_NEED_MORE_INPUT means the file ended early.
    // After too many events for the file's size, JXL_DEC_ERROR.
    JxlDecoderStatus next();
    // Tells libjxl that nothing follows the bytes given (a last box may
    // then run to the end of the file).
    void closeInput();

private:
    size_t eventsLeft_;
    JxlDecoder* dec_ = nullptr;
    void* runner_ = nullptr;
    bool fedOk_ = false;
};

// The result code for a libjxl status that ended a decode.
int codeFor(JxlDecoderStatus status);

} // namespace kamelo::imaging::jxl
