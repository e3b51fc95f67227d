#include "fulldecode.h"

#include "imaging/modern/rawcodec.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/result.h"

#include <atomic>

namespace kamelo {

struct FullDecode::State {
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    imaging::Bitmap picture;
    int rc = imaging::result::kSuccess;
};

void FullDecode::start(const std::string& path, int orientation, imaging::Bitmap spare,
                       std::function<void()> done) {
    cancel();
    state_ = std::make_shared<State>();
    thread_ = std::thread([s = state_, path, orientation, spare = std::move(spare),
                           done = std::move(done)]() mutable {
        imaging::LoadOptions options;
        // Only the memory is lent: the picture going keeps its colour space.
        spare.setColourProfile(nullptr);
        options.reuse = &spare;
        // Looked at between bands so that a new picture need not wait for
        // the rest of this one.
        options.onRows = [&s](const imaging::Bitmap&, int, int, int) {
            return s->stop.load() ? 0 : 1;
        };
        // A RAW development stops between its steps too.
        const imaging::rawcodec::StopScope rawStop(s->stop);
        int rc = imaging::PictureFile::load(path, s->picture, options);
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
