#pragma once

#include "imaging/bitmap.h"
#include "viewer/core/picturesource.h"
#include "viewer/viewzoom.h"

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
    // size on that background (imaging::SlideFrame), in the colours of
    // that screen (QGuiApplication::screens() index), so the slide show has
    // nothing left to do on its thread.
    void post(const std::string& path, QSize slide = {}, QColor background = {}, int screen = 0);
    // How the view lays out its next picture: the zoom as it stands, the
    // view's size, drawing mode and screen.
    struct ViewFit {
        ViewZoom zoom;
        QSize client;
        int displayMode = 0;
        int screen = 0;
    };
    // For ordinary viewing: the picture is also handed over scaled to the
    // place the view will give it and converted to the screen's colours,
    // so showing it is a single blit.
    void post(const std::string& path, const ViewFit& fit);
    // Moves the decoded picture of path into out (and its slide or its
    // scaled copy for the view when asked for); false when it is not the one
    // held or not finished yet. The scaled copy is null when the picture is
    // not shrunk in the view. identity receives the file's identity as it
    // was when the decode began. The slide and the scaled copy are left out
    // when the display's colours changed since they were made.
    bool take(const std::string& path, imaging::Bitmap& out, QImage* slide = nullptr,
              QImage* screen = nullptr, PictureSource::Identity* identity = nullptr);
    // A picture no longer shown: its memory goes to the next decode when
    // that has the same size (it is already faulted in), else it is freed
    // here, off the caller's thread.
    void recycle(imaging::Bitmap picture);
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
        int screen = 0;
        bool pending = false;
        bool decoding = false;
        std::string failedPath;
        QImage readySlide;
        bool wantsFit = false;
        ViewFit fit;
        QImage readyScreen;
        imaging::Bitmap spare;
        imaging::Bitmap discard;
        std::function<void()> notify;
        bool upright = true;
        std::string readyPath;
        PictureSource::Identity readyIdentity;
        uint64_t readyGeneration = 0;
        imaging::Bitmap ready;
        bool stop = false;
        bool finished = false;
    };
    static void run(std::shared_ptr<State> state);
    void request(const std::string& path, QSize slide, QColor background, int screen,
                 const ViewFit* fit);

    std::shared_ptr<State> state_;
    int stopTimeoutMs_;
};

} // namespace kamelo
