#include "fulldecode.h"

#include "imaging/modern/rawcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kamelo {

struct FullDecode::State {
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    imaging::Bitmap picture;
    int rc = imaging::result::kSuccess;
    // The picture being decoded and its rows settled so far; reading: the
    // view scales them (without the lock, which the decoder takes at every
    // band), so the decoder does not turn or free them before it is done.
    std::mutex rowsMutex;
    std::condition_variable readDone;
    const imaging::Bitmap* decoding = nullptr;
    int rows = 0;
    bool rowsHold = true;
    bool reading = false;
};

namespace {
// Reports per picture: each lets the idle thread scale a band of it.
constexpr int kReportsPerPicture = 24;
} // namespace

void FullDecode::start(const std::string& path, int orientation, imaging::Bitmap spare,
                       std::function<void()> done, std::function<void()> rowsAdvanced) {
    cancel();
    state_ = std::make_shared<State>();
    state_->rowsHold = orientation == imaging::Orientation::kUpright;
    thread_ =
        std::thread([s = state_, path, orientation, spare = std::move(spare),
                     done = std::move(done), rowsAdvanced = std::move(rowsAdvanced)]() mutable {
            imaging::LoadOptions options;
            // Only the memory is lent: the picture going keeps its colour space.
            spare.setColourProfile(nullptr);
            options.reuse = &spare;
            // Looked at between bands so that a new picture need not wait for
            // the rest of this one.
            int reported = 0;
            options.onRows = [&s, &rowsAdvanced, &reported](const imaging::Bitmap& b, int first,
                                                            int count, int pass) {
                if (s->stop.load())
                    return 0;
                if (!rowsAdvanced || !s->rowsHold)
                    return 1;
                {
                    std::lock_guard<std::mutex> lock(s->rowsMutex);
                    // A later pass rewrites rows already reported.
                    if (pass != 0) {
                        s->rowsHold = false;
                        return 1;
                    }
                    s->decoding = &b;
                    s->rows = std::max(s->rows, first + count);
                }
                if (int64_t(s->rows) * kReportsPerPicture >= int64_t(reported + 1) * b.height()) {
                    reported = int(int64_t(s->rows) * kReportsPerPicture / std::max(1, b.height()));
                    rowsAdvanced();
                }
                return 1;
            };
            // A RAW development stops between its steps too.
            const imaging::rawcodec::StopScope rawStop(s->stop);
            int rc = imaging::PictureFile::load(path, s->picture, options);
            {
                // Nobody reads the rows from here on: they may be turned or freed.
                std::unique_lock<std::mutex> lock(s->rowsMutex);
                s->readDone.wait(lock, [&s] { return !s->reading; });
                s->decoding = nullptr;
            }
            if (rc >= 1)
                rc = imaging::Orientation::makeUpright(s->picture, orientation);
            if (rc < 1)
                s->picture.free();
            s->rc = rc;
            s->ended = true;
            if (!s->stop.load() && done)
                done();
        });
}

bool FullDecode::withDecodedRows(const std::function<void(const imaging::Bitmap&, int rows)>& use) {
    if (!state_)
        return false;
    State& s = *state_;
    const imaging::Bitmap* decoding = nullptr;
    int rows = 0;
    {
        std::lock_guard<std::mutex> lock(s.rowsMutex);
        if (!s.decoding || !s.rowsHold || s.rows <= 0)
            return false;
        decoding = s.decoding;
        rows = s.rows;
        s.reading = true;
    }
    use(*decoding, rows);
    {
        std::lock_guard<std::mutex> lock(s.rowsMutex);
        s.reading = false;
    }
    s.readDone.notify_all();
    return true;
}

bool FullDecode::done() const {
    return state_ && state_->ended.load();
}

imaging::Bitmap FullDecode::finish(int& rc) {
    if (!thread_.joinable()) {
        rc = imaging::result::kNoBitmap;
        return {};
    }
    thread_.join();
    rc = state_->rc;
    imaging::Bitmap picture = std::move(state_->picture);
    state_.reset();
    return picture;
}

void FullDecode::cancel() {
    if (!thread_.joinable())
        return;
    state_->stop = true;
    thread_.join();
    state_.reset();
}

} // namespace kamelo
