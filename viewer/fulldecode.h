#pragma once

#include "imaging/bitmap.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kamelo {

// The full picture decoded on a thread of its own while the view shows a
// smaller decode of it. One decode at a time; a new start or the end of
// this object stops the one running.
class FullDecode {
public:
    FullDecode() = default;
    ~FullDecode() { cancel(); }
    FullDecode(const FullDecode&) = delete;
    FullDecode& operator=(const FullDecode&) = delete;

    // Decodes path, turned upright by orientation, into spare's memory when
    // it has the size. done runs on the decoding thread when it ends and
    // must only post (a queued call).
    void start(const std::string& path, int orientation, imaging::Bitmap spare,
               std::function<void()> done);
    bool running() const { return thread_.joinable(); }
    // Whether the decode has ended (finish() then waits for nothing).
    bool done() const;
    // Waits for the decode; the picture, empty when it failed (rc says why).
    imaging::Bitmap finish(int& rc);
    // Stops the decode at its next band and waits for it.
    void cancel();

private:
    struct State;
    std::thread thread_;
    std::shared_ptr<State> state_;
};

} // namespace kamelo
