#pragma once

#include "imaging/bitmap.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kamelo {

// Decodes the picture the viewer will most likely show next while the user
// looks at the current one. Only a finished picture of the very path asked
// for is ever handed out; a request replaces the previous one.
class ReadAheadWorker {
public:
    ReadAheadWorker();
    ~ReadAheadWorker();
    ReadAheadWorker(const ReadAheadWorker&) = delete;
    ReadAheadWorker& operator=(const ReadAheadWorker&) = delete;

    void post(const std::string& path);
    // Moves the decoded picture of path into out; false when it is not the
    // one held or not finished yet.
    bool take(const std::string& path, imaging::Bitmap& out);
    // Forgets whatever is held (the picture changed on disk, ...).
    void release();
    // For tests and benchmarks: waits until the posted picture is decoded.
    bool waitReady(const std::string& path, int timeoutMs);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::string wanted_;   // the last path posted
    bool pending_ = false; // a request not started yet
    std::string readyPath_;
    imaging::Bitmap ready_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace kamelo
