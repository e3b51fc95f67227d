#include "jxlsession.h"

#include "imaging/result.h"

#include <jxl/resizable_parallel_runner.h>

#include <algorithm>
#include <thread>

namespace kamelo::imaging::jxl {

Session::Session(ByteView bytes, int events)
    : // A frame gives at most three events and takes at least one byte, a
      // box at least eight; the margin covers basic info, colour and such.
      eventsLeft_(4 * bytes.size + 64) {
    dec_ = JxlDecoderCreate(nullptr);
    if (!dec_)
        return;
    if (JxlDecoderSubscribeEvents(dec_, events) != JXL_DEC_SUCCESS)
        return;
    fedOk_ = JxlDecoderSetInput(dec_, bytes.data, bytes.size) == JXL_DEC_SUCCESS;
}

Session::~Session() {
    if (dec_)
        JxlDecoderDestroy(dec_);
    if (runner_)
        JxlResizableParallelRunnerDestroy(runner_);
}

bool Session::keepOrientation() {
    return dec_ && JxlDecoderSetKeepOrientation(dec_, JXL_TRUE) == JXL_DEC_SUCCESS;
}

bool Session::prepareThreads() {
    if (!dec_)
        return false;
    runner_ = JxlResizableParallelRunnerCreate(nullptr);
    return runner_ && JxlDecoderSetParallelRunner(dec_, JxlResizableParallelRunner, runner_) ==
                          JXL_DEC_SUCCESS;
}

void Session::useThreadsFor(size_t width, size_t height) {
    if (!runner_)
        return;
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t suggested = JxlResizableParallelRunnerSuggestThreads(width, height);
    JxlResizableParallelRunnerSetThreads(runner_, std::clamp<size_t>(suggested, 1, cores));
}

JxlDecoderStatus Session::next() {
    if (eventsLeft_ == 0)
        return JXL_DEC_ERROR;
    --eventsLeft_;
    return JxlDecoderProcessInput(dec_);
}

void Session::closeInput() {
    if (dec_)
        JxlDecoderCloseInput(dec_);
}

int codeFor(JxlDecoderStatus status) {
    switch (status) {
    case JXL_DEC_SUCCESS:
        return result::kSuccess;
    case JXL_DEC_NEED_MORE_INPUT:
        return result::kTruncated;
    default:
        return result::kCorruptData;
    }
}

} // namespace kamelo::imaging::jxl
