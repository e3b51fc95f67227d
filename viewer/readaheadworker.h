#pragma once

#include "imaging/bitmap.h"

#include <QColor>
#include <QImage>
#include <QSize>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace kamelo {

// Decodes the picture the viewer will most likely show next while the user
// looks at the current one. Only a finished picture of the very path asked
// for is ever handed out; a request replaces the previous one. The thread
// shares its state with the worker object, so a decode that does not end
// within the stop timeout is left to finish on its own.
class ReadAheadWorker {
public:
    explicit ReadAheadWorker(int stopTimeoutMs = 3000);
    ~ReadAheadWorker();
    ReadAheadWorker(const ReadAheadWorker&) = delete;
    ReadAheadWorker& operator=(const ReadAheadWorker&) = delete;

    // The picture is turned upright by its EXIF orientation when the setting
    // asks for it at the time of the request.
    // With a slide size, the picture is also laid out as a slide of that
    // size on that background (imaging::SlideFrame), so the slide show has
    // nothing left to do on its thread.
    void post(const std::string& path, QSize slide = {}, QColor background = {});
    // Moves the decoded picture of path into out (and its slide into slide
    // when asked for); false when it is not the one held or not finished yet.
    bool take(const std::string& path, imaging::Bitmap& out, QImage* slide = nullptr);
    // Whether path is asked for and still being decoded.
    bool busyWith(const std::string& path) const;
    // Whether the last decode of path failed.
    bool failed(const std::string& path) const;
    // Called on the worker's thread after every decode, finished or failed;
    // it must only post (a queued call). Cleared with an empty function;
    // once that returns, no call is running or to come.
    void setNotify(std::function<void()> notify);
    // Forgets whatever is held (the picture changed on disk, ...).
    void release();
    // For tests and benchmarks: waits until the posted picture is decoded.
    bool waitReady(const std::string& path, int timeoutMs);
    // Whether the last stop had to leave a decode running (tests).
    static bool lastStopDetached();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable done;
        std::string wanted;
        QSize slideSize;
        QColor background;
        bool pending = false;
        bool decoding = false;
        std::string failedPath;
        QImage readySlide;
        std::function<void()> notify;
        bool upright = true;
        std::string readyPath;
        imaging::Bitmap ready;
        bool stop = false;
        bool finished = false;
    };
    static void run(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
    int stopTimeoutMs_;
};

} // namespace kamelo
