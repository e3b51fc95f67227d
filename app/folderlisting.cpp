#include "folderlisting.h"

#include "base/pictureextensions.h"
#include "platform/nameorder.h"

#include <QDir>
#include <QFileInfo>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kamelo {

struct FolderListing::State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    Result result;
    FolderListing* owner = nullptr; // null once the owner is gone
};

FolderListing::Result FolderListing::list(const std::string& file) {
    Result r;
    const QFileInfo target(QString::fromStdString(file));
    const QDir dir = target.absoluteDir();
    QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot);
    // The file system lists in no particular order here.
    NameOrder::sort(names);
    const QString wanted = target.absoluteFilePath();
    for (const QString& name : names) {
        const QString full = dir.absoluteFilePath(name);
        std::string path = full.toStdString();
        if (!PictureExtensions::isPicturePath(path))
            continue;
        if (full == wanted)
            r.current = int(r.paths.size());
        r.paths.push_back(std::move(path));
    }
    return r;
}

FolderListing::FolderListing(const std::string& file, QObject* parent)
    : QObject(parent), state_(std::make_shared<State>()) {
    state_->owner = this;
    std::thread([state = state_, file] {
        Result r = list(file);
        std::lock_guard<std::mutex> lock(state->mutex);
        state->result = std::move(r);
        state->finished = true;
        state->done.notify_all();
        // Posted under the lock: the owner cannot go meanwhile, and a
        // notice posted to an owner that goes later is dropped with it.
        if (FolderListing* owner = state->owner)
            QMetaObject::invokeMethod(
                owner, [owner] { emit owner->ready(); }, Qt::QueuedConnection);
    }).detach();
}

FolderListing::~FolderListing() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->owner = nullptr;
}

FolderListing::Result FolderListing::take() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->done.wait(lock, [this] { return state_->finished; });
    return std::move(state_->result);
}

} // namespace kamelo
