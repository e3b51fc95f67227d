#include "largetiles.h"

#include "imaging/colour/iccprofile.h"
#include "imaging/large/largepicture.h"
#include "imaging/large/tilecache.h"
#include "imaging/picturefile.h"
#include "imaging/tiffcodec.h"
#include "largelevels.h"

#include <QPainter>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace kamelo {

namespace {

// Neighbours decoded by one job: a JPEG region costs the rows above it
// again, so a run of a row is read in one pass.
constexpr int kRunTiles = 8;

enum Priority { kRing = 0, kVisible = 1, kWhole = 2 };

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
};

LargeTiles::LargeTiles(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>(kDefaultBudget)) {
    // Two cores are the rule: one decodes while the view and another decode
    // share the rest.
    pool_.setMaxThreadCount(2);
}

LargeTiles::~LargeTiles() {
    ++shared_->generation;
    pool_.clear();
    // Queued signals to this object go with it; nothing runs after this.
    pool_.waitForDone();
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

void LargeTiles::open(const std::string& path, QSize size) {
    close();
    path_ = path;
    size_ = size;
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
}

void LargeTiles::startFitted(int level) {
    if (!isOpen())
        return;
    const uint64_t generation = shared_->generation;
    ++shared_->jobs;
    pool_.start(
        [this, s = shared_, generation, path = path_, level] {
            imaging::Bitmap picture;
            int rc = 0;
            imaging::large::PictureSize size;
            if (s->generation == generation) {
                rc = imaging::large::decodeScaled(path, level, picture);
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
                QMetaObject::invokeMethod(this, &LargeTiles::fittedReady, Qt::QueuedConnection);
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

void LargeTiles::requestRow(int level, int row, int firstColumn, int lastColumn, uint64_t ticket,
                            int priority) {
    const uint64_t generation = shared_->generation;
    ++shared_->jobs;
    pool_.start(
        [this, s = shared_, generation, path = path_, size = size_, level, row, firstColumn,
         lastColumn, ticket] {
            const auto leave = [&](int from, int to) {
                for (int c = from; c < to; ++c)
                    s->cache.abandon({level, c, row}, ticket);
            };
            int first = firstColumn, last = lastColumn;
            imaging::colour::TransformPtr colour;
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                // Panned or zoomed away meanwhile: the tiles no longer wanted
                // are left for a later paint to ask again.
                const bool rowWanted = s->generation == generation && s->wantedLevel == level &&
                                       row >= s->wanted.top() && row <= s->wanted.bottom();
                if (rowWanted) {
                    first = std::max(first, s->wanted.left());
                    last = std::min(last, s->wanted.right() + 1);
                } else {
                    first = last;
                }
                colour = s->colour;
            }
            leave(firstColumn, std::min(first, lastColumn));
            leave(std::max(last, first), lastColumn);
            if (first < last) {
                const QRect a = largeview::tileSource(size, level, first, row);
                const QRect b = largeview::tileSource(size, level, last - 1, row);
                const imaging::Rect region{a.x(), a.y(), b.x() + b.width() - a.x(), a.height()};
                imaging::Bitmap band;
                const int rc = imaging::large::decodeRegion(path, region, level, band);
                if (rc < 1) {
                    leave(first, last);
                    std::lock_guard<std::mutex> lock(s->mutex);
                    s->failed = s->failed || s->generation == generation;
                } else {
                    const QImage whole = band.view();
                    for (int c = first; c < last; ++c) {
                        const QRect source = largeview::tileSource(size, level, c, row);
                        const int x = (source.x() - a.x()) / level;
                        const int w = std::min(imaging::large::scaledSide(source.width(), level),
                                               band.width() - x);
                        QImage tile = whole.copy(x, 0, w, band.height())
                                          .convertToFormat(QImage::Format_RGB32);
                        if (colour && !tile.isNull())
                            colour->apply(tile);
                        const size_t bytes = size_t(tile.sizeInBytes());
                        s->cache.put({level, c, row}, ticket,
                                     std::make_shared<const QImage>(std::move(tile)), bytes);
                    }
                    if (s->generation == generation)
                        QMetaObject::invokeMethod(this, &LargeTiles::tilesReady,
                                                  Qt::QueuedConnection);
                }
            }
            --s->jobs;
        },
        priority);
}

bool LargeTiles::paint(QPainter& p, const QRect& dest, const QRect& visible, const QRect& exposed,
                       int level, bool smooth) {
    const QRect area = largeview::pictureArea(size_, dest, visible);
    if (!isOpen() || area.isEmpty() || level < 1)
        return true;
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
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    std::vector<int> missing;
    // Claimed tiles, in runs of neighbours of one row.
    const auto startRuns = [&](int row, int priority, uint64_t ticket) {
        for (size_t i = 0; i < missing.size();) {
            size_t j = i + 1;
            while (j < missing.size() && missing[j] == missing[j - 1] + 1 && int(j - i) < kRunTiles)
                ++j;
            requestRow(level, row, missing[i], missing[j - 1] + 1, ticket, priority);
            i = j;
        }
        missing.clear();
    };
    uint64_t ticket = 0;
    for (int row = tiles.top(); row <= tiles.bottom(); ++row) {
        for (int c = tiles.left(); c <= tiles.right(); ++c) {
            const imaging::large::TileKey key{level, c, row};
            if (const auto tile = shared_->cache.find(key)) {
                const QRect r =
                    largeview::viewRect(size_, dest, largeview::tileSource(size_, level, c, row));
                if (r.intersects(exposed))
                    p.drawImage(r, *tile);
                continue;
            }
            complete = false;
            if (failed || !fits)
                continue;
            if (const uint64_t t = shared_->cache.claim(key)) {
                ticket = t;
                missing.push_back(c);
            }
        }
        startRuns(row, kVisible, ticket);
    }
    p.restore();
    // The ring around what is seen, made while the user looks, for panning:
    // only while it leaves room for what is seen, or the two would keep
    // pushing each other out.
    const size_t ringBytes = size_t(ring.width()) * size_t(ring.height()) * kTileBytes;
    if (!failed && fits && ringBytes <= budget_ / 2)
        for (int row = ring.top(); row <= ring.bottom(); ++row) {
            for (int c = ring.left(); c <= ring.right(); ++c) {
                if (tiles.contains(c, row))
                    continue;
                if (const uint64_t t = shared_->cache.claim({level, c, row})) {
                    ticket = t;
                    missing.push_back(c);
                }
            }
            startRuns(row, kRing, ticket);
        }
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
