#include "headstartdecode.h"

#include "base/commandline.h"
#include "imaging/core/filebytes.h"
#include "imaging/jpegcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"
#include "viewer/core/picturesource.h"
#include "viewer/core/zoomrules.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace kamelo {

namespace {
// A screen's worth of a smaller decode is a few megapixels.
constexpr int64_t kMaxShownPixels = int64_t(16) << 20;
// Added to the program's own niceness.
constexpr int kHeadStartNice = 2;
} // namespace

struct HeadStartDecode::State {
    std::string path;
    PictureSource::Identity identity;
    int scale = 1;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    imaging::Bitmap picture;
    // The rows decoded so far, copied band by band: the viewer paints them
    // while the decoder goes on with the picture, which it may still change
    // as a whole (its colour space, or freeing it on an error) at the end.
    imaging::Bitmap shown;
    int rows = 0;
    bool ended = false;
    bool stop = false;
    int rc = imaging::result::kSuccess;
};

int HeadStartDecode::scaleFor(int width, int height, int orientation, QSize viewGuess) {
    if (width <= 0 || height <= 0 || viewGuess.isEmpty())
        return 1;
    const bool turned = imaging::Orientation::swapsSides(orientation);
    const int w = turned ? height : width, h = turned ? width : height;
    const ViewRect shown = ZoomRules::layout(
        w, h, viewGuess.width(), viewGuess.height(),
        ZoomRules::fitFactor(w, h, viewGuess.width(), viewGuess.height()), true, 0, 0);
    return turned
               ? imaging::jpegcodec::scaleDenominatorFor(width, height, shown.height, shown.width)
               : imaging::jpegcodec::scaleDenominatorFor(width, height, shown.width, shown.height);
}

QSize HeadStartDecode::viewGuessFor(QSize workArea) {
    // The bars take about a tenth of a common screen's height.
    return QSize(workArea.width(), workArea.height() - workArea.height() / 10);
}

std::unique_ptr<HeadStartDecode> HeadStartDecode::start(const std::string& path, QSize viewGuess) {
    // A FIFO or device is not waited on, nor read twice.
    int fd = -1;
    const bool regular = imaging::openRegularFile(path, fd) >= 1;
    if (fd >= 0)
        ::close(fd);
    auto state = std::make_shared<State>();
    state->path = path;
    state->identity = PictureSource::Identity::of(path);
    if (!regular || !state->identity.known())
        return nullptr;
    // A progressive file is painted pass by pass over the same rows:
    // decoded where it is painted instead.
    imaging::FileInfo info;
    if (imaging::PictureFile::readInfo(path, info) < 1 ||
        info.format != imaging::PictureFormat::Jpeg || info.compression != "JPEG")
        return nullptr;
    // A picture beyond one bitmap is shown by the viewer's own scaled
    // decode and tiles; a head start would decode it a second time.
    if (int64_t(info.width) * info.height > imaging::kMaxPixels)
        return nullptr;
    state->scale = scaleFor(info.width, info.height, imaging::Orientation::read(path), viewGuess);
    // The copy shown while it decodes doubles the smaller picture's memory:
    // a picture whose smaller decode is still huge is decoded where painted.
    if (state->scale <= 1 || int64_t(imaging::jpegcodec::scaledSide(info.width, state->scale)) *
                                     imaging::jpegcodec::scaledSide(info.height, state->scale) >
                                 kMaxShownPixels)
        return nullptr;
    std::unique_ptr<HeadStartDecode> decode(new HeadStartDecode(state));
    try {
        state->thread = std::thread([s = state] {
            // A little behind the thread making the window: on a busy machine
            // the window comes first, on an idle one this has a core anyway.
            const id_t self = static_cast<id_t>(::gettid());
            errno = 0;
            const int nice = ::getpriority(PRIO_PROCESS, self);
            if (errno == 0)
                ::setpriority(PRIO_PROCESS, self, nice + kHeadStartNice);
            imaging::LoadOptions options;
            options.scaleDenominator = s->scale;
            options.bandRows = 10;
            options.onRows = [&s](const imaging::Bitmap& b, int first, int count, int pass) {
                std::lock_guard<std::mutex> lock(s->mutex);
                if (s->stop)
                    return 0;
                // A refinement pass rewrites rows already shown.
                if (pass != 0)
                    return 1;
                if (!s->shown.isAllocated()) {
                    // Without the copy the picture is shown once decoded.
                    if (s->rows > 0 || s->shown.allocate(b.width(), b.height()) < 1)
                        return 1;
                    s->shown.setColourProfile(b.colourProfile());
                }
                if (s->shown.width() != b.width() || s->shown.height() != b.height() ||
                    s->shown.stride() != b.stride())
                    return 1;
                const int end = std::min(first + count, b.height());
                for (int y = std::max(first, s->rows); y < end; ++y)
                    std::memcpy(s->shown.row(y), b.row(y), size_t(b.stride()));
                s->rows = std::max(s->rows, end);
                s->changed.notify_all();
                return 1;
            };
            const int rc = imaging::PictureFile::load(s->path, s->picture, options);
            std::lock_guard<std::mutex> lock(s->mutex);
            s->rc = rc;
            s->ended = true;
            s->changed.notify_all();
        });
    } catch (const std::system_error&) {
        return nullptr; // no thread to spare: the viewer decodes it itself
    }
    return decode;
}

void HeadStartDecode::offerFor(const std::vector<std::string>& argumentsAfterProgram) {
    const std::string path = CommandLine::picturePath(argumentsAfterProgram);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (path.empty() || !screen)
        return;
    BandLoader::offerHeadStart(start(path, viewGuessFor(screen->availableGeometry().size())));
}

void HeadStartDecode::dropUnused() {
    BandLoader::offerHeadStart(nullptr);
}

HeadStartDecode::HeadStartDecode(std::shared_ptr<State> state) : state_(std::move(state)) {}

HeadStartDecode::~HeadStartDecode() {
    stop();
    if (state_->thread.joinable())
        state_->thread.join();
}

int HeadStartDecode::scale() const {
    return state_->scale;
}

bool HeadStartDecode::matches(const std::string& path, int scale) const {
    return path == state_->path && scale == state_->scale &&
           PictureSource::Identity::of(path) == state_->identity;
}

bool HeadStartDecode::wait(int seen, int ms, const imaging::Bitmap*& bitmap, int& rows) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    State& s = *state_;
    // The view paints from the copy without the lock while rows below it
    // are still being copied in, and smooth scaling reads a row past those
    // it paints: one copied row is held back, so no row it reads is written.
    constexpr int kMargin = 1;
    s.changed.wait_for(lock, std::chrono::milliseconds(ms),
                       [&s, seen] { return s.ended || s.rows - kMargin > seen; });
    rows = std::max(0, s.rows - kMargin);
    bitmap = rows > 0 ? &s.shown : nullptr;
    return s.ended;
}

void HeadStartDecode::stop() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
    state_->changed.notify_all();
}

int HeadStartDecode::finish(imaging::Bitmap& out) {
    if (state_->thread.joinable())
        state_->thread.join();
    out = std::move(state_->picture);
    state_->shown.free();
    state_->rows = 0;
    return state_->rc;
}

} // namespace kamelo
