#include "largetiles.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/large/largepicture.h"
#include "imaging/large/tilecache.h"
#include "imaging/orientation.h"
#include "imaging/picturefile.h"
#include "imaging/tiffcodec.h"
#include "largelevels.h"

#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kamelo {

namespace {

// Neighbours decoded by one job: a JPEG region costs the rows above it
// again, so a screen of tiles with the ring around it is read in one pass
// (96 MB at most, a 4K screen's at full size).
constexpr int kBlockColumns = 16;
constexpr int kBlockRows = 8;

enum Priority { kVisible = 1, kWhole = 2 };

// What a whole tile holds in memory (32 bits a pixel).
constexpr size_t kTileBytes = size_t(largeview::kTileSide) * largeview::kTileSide * 4;

imaging::colour::ProfilePtr profileOf(const std::string& path, imaging::large::Kind kind) {
    imaging::colour::ProfilePtr profile;
    if (kind == imaging::large::Kind::Tiff) {
        // A TIFF's profile sits in its directory, wherever that lies.
        std::vector<uint8_t> icc;
        if (imaging::tiffcodec::readIccProfile(path, icc) >= 1 && !icc.empty())
            profile = imaging::colour::IccProfile::fromBytes(std::move(icc));
    } else if (imaging::PictureFile::readProfile(path, profile) < 1) {
        profile.reset();
    }
    return profile;
}

} // namespace

struct LargeTiles::Shared {
    explicit Shared(size_t budget) : cache(budget) {}

    imaging::large::TileCache<QImage> cache;
    // Moves on with every picture: a job of another one does nothing.
    std::atomic<uint64_t> generation{0};
    std::atomic<int> jobs{0};

    std::mutex mutex;
    // The tiles the view wants now; a job for others leaves them.
    int wantedLevel = 0;
    QRect wanted;
    imaging::colour::TransformPtr colour;
    uint64_t colourGeneration = 0;
    // A region failed to decode: no more are asked for this picture.
    bool failed = false;
    bool fittedDone = false;
    int fittedRc = 0;
    imaging::Bitmap fitted;
    // Tells the owner (a queued call); cleared when it goes.
    std::function<void(bool fitted)> notify;
    std::function<void(int percent)> progress;

    // The jobs, highest priority first, and the threads that run them:
    // they hold this state, not the owner, so a decode that cannot be
    // stopped midway never holds up the owner's end.
    std::multimap<int, std::function<void()>, std::greater<int>> queue;
    std::condition_variable wake;
    int threads = 0;
    int idle = 0;
    bool closing = false;

    void tell(bool whole) {
        std::lock_guard<std::mutex> lock(mutex);
        if (notify)
            notify(whole);
    }
    void tellProgress(int percent) {
        std::lock_guard<std::mutex> lock(mutex);
        if (progress)
            progress(percent);
    }
};

namespace {

// Two cores are the rule: one decodes while the view and another decode
// share the rest.
constexpr int kThreads = 2;

void work(std::shared_ptr<LargeTiles::Shared> s) {
    std::unique_lock<std::mutex> lock(s->mutex);
    for (;;) {
        ++s->idle;
        // Idle threads end after a while; a new job starts them again.
        const bool woken = s->wake.wait_for(lock, std::chrono::seconds(10),
                                            [&] { return s->closing || !s->queue.empty(); });
        --s->idle;
        if (!woken || s->closing || s->queue.empty())
            break;
        std::function<void()> job = std::move(s->queue.begin()->second);
        s->queue.erase(s->queue.begin());
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
    }
    --s->threads;
}

} // namespace

LargeTiles::LargeTiles(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>(kDefaultBudget)) {
    shared_->notify = [this](bool whole) {
        QMetaObject::invokeMethod(this, whole ? &LargeTiles::fittedReady : &LargeTiles::tilesReady,
                                  Qt::QueuedConnection);
    };
    shared_->progress = [this](int percent) {
        QMetaObject::invokeMethod(
            this, [this, percent] { emit fittedProgress(percent); }, Qt::QueuedConnection);
    };
}

LargeTiles::~LargeTiles() {
    ++shared_->generation;
    std::lock_guard<std::mutex> lock(shared_->mutex);
    // Nothing reaches this object after this; a decode running ends on
    // its own and its result goes with the state.
    shared_->notify = nullptr;
    shared_->progress = nullptr;
    shared_->closing = true;
    shared_->jobs -= int(shared_->queue.size());
    shared_->queue.clear();
    shared_->wake.notify_all();
}

void LargeTiles::start(std::function<void()> job, int priority) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    ++shared_->jobs;
    shared_->queue.emplace(priority, std::move(job));
    if (shared_->idle > 0)
        shared_->wake.notify_one();
    // More jobs waiting than threads to take them: another thread, if the
    // rule allows.
    if (int(shared_->queue.size()) <= shared_->idle || shared_->threads >= kThreads)
        return;
    try {
        std::thread(work, shared_).detach();
        ++shared_->threads;
    } catch (const std::system_error&) {
        // No thread to be had: the threads there take the job, or it
        // waits for the next start.
    }
}

bool LargeTiles::isLarge(const std::string& path, QSize* size) {
    imaging::large::PictureSize s;
    if (imaging::large::readSize(path, s) < 1 ||
        !imaging::large::tooLargeWhole(s.width, s.height, 1))
        return false;
    if (size)
        *size = QSize(s.width, s.height);
    return true;
}

void LargeTiles::open(const std::string& path, QSize size, int orientation) {
    close();
    path_ = path;
    size_ = size;
    orientation_ = orientation;
}

QSize LargeTiles::uprightSize() const {
    return imaging::Orientation::swapsSides(orientation_) ? size_.transposed() : size_;
}

void LargeTiles::close() {
    ++shared_->generation;
    // Tickets of tiles being made go stale with the tiles held.
    shared_->cache.clear();
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->wantedLevel = 0;
    shared_->wanted = QRect();
    shared_->failed = false;
    shared_->fittedDone = false;
    shared_->fitted.free();
    path_.clear();
    size_ = QSize();
    orientation_ = imaging::Orientation::kUpright;
    imaging::large::closeWaitingDecoders();
}

void LargeTiles::startFitted(int level) {
    if (!isOpen())
        return;
    const uint64_t generation = shared_->generation;
    start(
        [s = shared_, generation, path = path_, level, orientation = orientation_] {
            imaging::Bitmap picture;
            int rc = 0;
            imaging::large::PictureSize size;
            // Said every few percent; a picture left stops the decode.
            int told = -1;
            const auto watch = [&s, generation, &told](int percent) {
                if (s->generation != generation)
                    return false;
                if (percent < 100 && percent >= told + 5)
                    s->tellProgress(told = percent);
                return true;
            };
            if (s->generation == generation) {
                rc = imaging::large::decodeScaled(path, level, picture, watch);
                if (rc >= 1)
                    rc = imaging::Orientation::makeUpright(picture, orientation);
                if (rc >= 1 && imaging::large::readSize(path, size) >= 1)
                    picture.setColourProfile(profileOf(path, size.kind));
            }
            bool current = false;
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                current = s->generation == generation;
                if (current) {
                    s->fitted = std::move(picture);
                    s->fittedRc = rc;
                    s->fittedDone = true;
                }
            }
            if (current)
                s->tell(true);
            --s->jobs;
        },
        kWhole);
}

bool LargeTiles::takeFitted(imaging::Bitmap& out, int& rc) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (!shared_->fittedDone)
        return false;
    shared_->fittedDone = false;
    out = std::move(shared_->fitted);
    shared_->fitted = imaging::Bitmap();
    rc = shared_->fittedRc;
    return true;
}

void LargeTiles::setColour(imaging::colour::TransformPtr toScreen, uint64_t generation) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        if (shared_->colour == toScreen && shared_->colourGeneration == generation)
            return;
        shared_->colour = std::move(toScreen);
        shared_->colourGeneration = generation;
    }
    shared_->cache.clear();
}

void LargeTiles::requestBlock(int level, std::vector<QPoint> tiles, uint64_t ticket, int priority) {
    if (tiles.empty())
        return;
    const uint64_t generation = shared_->generation;
    start(
        [s = shared_, generation, path = path_, size = size_, orientation = orientation_, level,
         tiles = std::move(tiles), ticket]() mutable {
            const auto leave = [&](const QPoint& t) {
                s->cache.abandon({level, t.x(), t.y()}, ticket);
            };
            imaging::colour::TransformPtr colour;
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                // Panned or zoomed away meanwhile: the tiles no longer wanted
                // are left for a later paint to ask again.
                const bool current = s->generation == generation && s->wantedLevel == level;
                const QRect wanted = current ? s->wanted : QRect();
                const auto gone =
                    std::stable_partition(tiles.begin(), tiles.end(),
                                          [&](const QPoint& t) { return wanted.contains(t); });
                std::for_each(gone, tiles.end(), leave);
                tiles.erase(gone, tiles.end());
                colour = s->colour;
            }
            // One region over the block's tiles: a JPEG's rows above it are
            // read once for all of them.
            QRect box;
            for (const QPoint& t : tiles)
                box |= largeview::tileSource(size, level, t.x(), t.y());
            imaging::Bitmap block;
            const int rc = tiles.empty() ? 0
                                         : imaging::large::decodeRegion(
                                               path, {box.x(), box.y(), box.width(), box.height()},
                                               level, block);
            if (rc < 1) {
                std::for_each(tiles.begin(), tiles.end(), leave);
                std::lock_guard<std::mutex> lock(s->mutex);
                s->failed = s->failed || (!tiles.empty() && s->generation == generation);
            } else {
                const QImage whole = block.view();
                for (const QPoint& t : tiles) {
                    const QRect source = largeview::tileSource(size, level, t.x(), t.y());
                    const int x = (source.x() - box.x()) / level;
                    const int y = (source.y() - box.y()) / level;
                    const int w = std::min(imaging::large::scaledSide(source.width(), level),
                                           block.width() - x);
                    const int h = std::min(imaging::large::scaledSide(source.height(), level),
                                           block.height() - y);
                    QImage tile = largeview::uprightTile(
                        whole.copy(x, y, w, h).convertToFormat(QImage::Format_RGB32), orientation);
                    if (colour && !tile.isNull())
                        colour->apply(tile);
                    const size_t bytes = size_t(tile.sizeInBytes());
                    s->cache.put({level, t.x(), t.y()}, ticket,
                                 std::make_shared<const QImage>(std::move(tile)), bytes);
                }
                if (s->generation == generation)
                    s->tell(false);
            }
            --s->jobs;
        },
        priority);
}

void LargeTiles::requestBlocks(int level, const std::vector<QPoint>& tiles, uint64_t ticket,
                               int priority) {
    QRect box;
    for (const QPoint& t : tiles)
        box |= QRect(t, QSize(1, 1));
    if (box.isEmpty())
        return;
    const int columns = kBlockColumns;
    for (int row = box.top(); row <= box.bottom(); row += kBlockRows)
        for (int column = box.left(); column <= box.right(); column += columns) {
            const QRect block(column, row, columns, kBlockRows);
            std::vector<QPoint> part;
            for (const QPoint& t : tiles)
                if (block.contains(t))
                    part.push_back(t);
            requestBlock(level, std::move(part), ticket, priority);
        }
}

bool LargeTiles::paint(QPainter& p, const QRect& dest, const QRect& visible, const QRect& exposed,
                       int level, bool smooth) {
    // The view lays out the upright picture; the tiles are of the stored one.
    const QRect uprightArea = largeview::pictureArea(uprightSize(), dest, visible);
    if (!isOpen() || uprightArea.isEmpty() || level < 1)
        return true;
    const QRect area = largeview::storedRect(size_, orientation_, uprightArea);
    const QRect tiles = largeview::tilesOver(size_, level, area, 0);
    const QRect ring = largeview::tilesOver(size_, level, area, 1);
    bool failed = false;
    // More tiles than the budget holds would push each other out forever:
    // the smaller decode stays on screen instead.
    const bool fits = size_t(tiles.width()) * size_t(tiles.height()) * kTileBytes <= budget_;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->wantedLevel = level;
        shared_->wanted = ring;
        failed = shared_->failed;
    }
    bool complete = true;
    uint64_t ticket = 0;
    std::vector<QPoint> missing;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    for (int row = tiles.top(); row <= tiles.bottom(); ++row)
        for (int c = tiles.left(); c <= tiles.right(); ++c) {
            if (const auto tile = shared_->cache.find({level, c, row})) {
                const QRect r = largeview::viewRect(
                    uprightSize(), dest,
                    largeview::uprightRect(size_, orientation_,
                                           largeview::tileSource(size_, level, c, row)));
                if (r.intersects(exposed))
                    p.drawImage(r, *tile);
                continue;
            }
            complete = false;
            if (failed || !fits)
                continue;
            if (const uint64_t t = shared_->cache.claim({level, c, row})) {
                ticket = t;
                missing.emplace_back(c, row);
            }
        }
    p.restore();
    // The ring around what is seen, for panning: only while it leaves room
    // for what is seen, or the two would keep pushing each other out.
    const size_t ringBytes = size_t(ring.width()) * size_t(ring.height()) * kTileBytes;
    if (!failed && fits && ringBytes <= budget_ / 2)
        for (int row = ring.top(); row <= ring.bottom(); ++row)
            for (int c = ring.left(); c <= ring.right(); ++c)
                if (!tiles.contains(c, row))
                    if (const uint64_t t = shared_->cache.claim({level, c, row})) {
                        ticket = t;
                        missing.emplace_back(c, row);
                    }
    // Seen and ring together: the rows above them, which a JPEG decodes
    // again for every region, are read once.
    requestBlocks(level, missing, ticket, kVisible);
    return complete;
}

size_t LargeTiles::budget() const {
    return budget_;
}

void LargeTiles::setBudget(size_t bytes) {
    budget_ = bytes;
    shared_->cache.setBudget(bytes);
}

size_t LargeTiles::heldBytes() const {
    return shared_->cache.bytes();
}

int LargeTiles::jobs() const {
    return shared_->jobs;
}

} // namespace kamelo
