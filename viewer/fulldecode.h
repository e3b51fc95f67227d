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
    // rowsAdvanced, when given, runs on the decoding thread now and then
    // as rows come (a queued call too).
    void start(const std::string& path, int orientation, imaging::Bitmap spare,
               std::function<void()> done, std::function<void()> rowsAdvanced = {});
    // Runs use with the upright rows decoded so far while the decode goes
    // on below them (they stay put meanwhile); false when there are none
    // such (a turned picture, a refining pass, the decode ended).
    bool withDecodedRows(const std::function<void(const imaging::Bitmap&, int rows)>& use);
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
