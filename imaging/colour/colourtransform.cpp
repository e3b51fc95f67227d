#include "colourtransform.h"

#include "fastpath.h"
#include "imaging/bitmap.h"
#include "imaging/parallelrows.h"
#include "lcmslock.h"

#include <lcms2.h>

#include <list>
#include <tuple>
#include <utility>

namespace kamelo::imaging::colour {

namespace {

enum Layout { kBgr = 0, kBgra = 1, kRgb = 2 };

// QImage's 32-bit formats hold B, G, R, A in memory on little-endian
// machines.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr cmsUInt32Number kFourBytes = TYPE_BGRA_8;
#else
constexpr cmsUInt32Number kFourBytes = TYPE_ARGB_8;
#endif
constexpr cmsUInt32Number kFormats[3] = {TYPE_BGR_8, kFourBytes, TYPE_RGB_8};

// Work per row in forRows' units: pictures from about 130,000 pixels on
// are split between the cores.
constexpr int64_t kWorkPerPixel = 4;

void* build(const IccProfile& from, const IccProfile& to, Intent intent, int layout) {
    // Each call on a transform without its one-pixel cache is thread-safe;
    // lcms2 still builds its optimised 8-bit tables for these formats.
    cmsUInt32Number flags = cmsFLAGS_NOCACHE;
    if (layout == kBgra)
        flags |= cmsFLAGS_COPY_ALPHA;
    std::lock_guard lock(lcmsLock());
    return cmsCreateTransform(from.transformHandle(), kFormats[layout], to.transformHandle(),
                              kFormats[layout], cmsUInt32Number(intent), flags);
}

// The last transforms asked for, newest first.
class Cache {
public:
    static constexpr size_t kCapacity = 32;
    using Key = std::tuple<std::string, std::string, int>;

    bool find(const Key& key, TransformPtr& found) {
        std::lock_guard guard(lock_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->first == key) {
                found = it->second;
                entries_.splice(entries_.begin(), entries_, it);
                return true;
            }
        return false;
    }
    TransformPtr add(Key key, TransformPtr transform) {
        std::lock_guard guard(lock_);
        for (auto& [k, t] : entries_)
            if (k == key)
                return t; // another thread was first
        entries_.emplace_front(std::move(key), transform);
        if (entries_.size() > kCapacity)
            entries_.pop_back();
        return transform;
    }

private:
    std::mutex lock_;
    std::list<std::pair<Key, TransformPtr>> entries_;
};

Cache& cache() {
    static Cache c;
    return c;
}

} // namespace

struct ColourTransformFactory {
    static TransformPtr make(ProfilePtr from, ProfilePtr to, Intent intent) {
        std::shared_ptr<ColourTransform> t(new ColourTransform);
        t->from_ = std::move(from);
        t->to_ = std::move(to);
        t->intent_ = intent;
        {
            std::lock_guard lock(lcmsLock());
            t->fast_ =
                FastPath::make(t->from_->transformHandle(), t->to_->transformHandle(), int(intent));
        }
        // Otherwise the layout of Bitmap is made at once: when lcms2 cannot
        // convert between the two, there is no transform.
        if (!t->fast_ && !t->transform(kBgr))
            return nullptr;
        return t;
    }
};

namespace {
// Kept in place of a transform lcms2 could not build, so that it is not
// tried again for every band.
char notBuilt;
} // namespace

ColourTransform::~ColourTransform() {
    for (auto& t : transforms_)
        if (void* h = t.load(); h && h != &notBuilt)
            cmsDeleteTransform(h);
}

TransformPtr ColourTransform::between(const ProfilePtr& from, const ProfilePtr& to, Intent intent) {
    try {
        // Every sRGB-like profile shares sRGB's transforms.
        const ProfilePtr source = !from || from->isSrgb() ? IccProfile::srgb() : from;
        const ProfilePtr destination = !to || to->isSrgb() ? IccProfile::srgb() : to;
        if (!source || !destination || source->key() == destination->key())
            return nullptr;
        Cache::Key key(source->key(), destination->key(), int(intent));
        TransformPtr found;
        if (cache().find(key, found))
            return found;
        // Built outside the cache's lock; failures are remembered too.
        return cache().add(std::move(key),
                           ColourTransformFactory::make(source, destination, intent));
    } catch (...) {
        return nullptr;
    }
}

void* ColourTransform::transform(int layout) const {
    void* t = transforms_[layout].load(std::memory_order_acquire);
    if (!t) {
        std::lock_guard guard(building_);
        t = transforms_[layout].load(std::memory_order_relaxed);
        if (!t) {
            t = build(*from_, *to_, intent_, layout);
            if (!t)
                t = &notBuilt;
            transforms_[layout].store(t, std::memory_order_release);
        }
    }
    return t == &notBuilt ? nullptr : t;
}

void ColourTransform::run(int layout, uint8_t* firstRow, int width, int rows,
                          qsizetype stride) const {
    if (fast_) {
        if (width > 0 && rows > 0)
            fast_->run(layout, firstRow, width, rows, stride);
        return;
    }
    void* t = transform(layout);
    if (!t || width <= 0 || rows <= 0)
        return;
    const cmsUInt32Number bytes = cmsUInt32Number(stride);
    cmsDoTransformLineStride(t, firstRow, firstRow, cmsUInt32Number(width), cmsUInt32Number(rows),
                             bytes, bytes, 0, 0);
}

void ColourTransform::apply(Bitmap& bitmap) const {
    if (!bitmap.isAllocated())
        return;
    const int width = bitmap.width();
    forRows(bitmap.height(), int64_t(width) * kWorkPerPixel, [&](int begin, int end) {
        run(kBgr, bitmap.row(begin), width, end - begin, bitmap.stride());
    });
}

void ColourTransform::applyRows(Bitmap& bitmap, int firstRow, int rowCount) const {
    if (!bitmap.isAllocated())
        return;
    const int begin = std::max(0, firstRow);
    const int end = int(std::min<int64_t>(bitmap.height(), int64_t(firstRow) + rowCount));
    if (begin < end)
        run(kBgr, bitmap.row(begin), bitmap.width(), end - begin, bitmap.stride());
}

void ColourTransform::apply(QImage& image) const {
    if (image.isNull())
        return;
    int layout = kBgra;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        break;
    case QImage::Format_RGB888:
        layout = kRgb;
        break;
    case QImage::Format_BGR888:
        layout = kBgr;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        // Colours are converted unpremultiplied; the picture stays so.
        image.convertTo(QImage::Format_ARGB32);
        break;
    default:
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        break;
    }
    if (image.isNull())
        return;
    uint8_t* bits = image.bits(); // detaches a shared image
    if (!bits)
        return;
    const qsizetype stride = image.bytesPerLine();
    const int width = image.width();
    forRows(image.height(), int64_t(width) * kWorkPerPixel, [&](int begin, int end) {
        run(layout, bits + stride * begin, width, end - begin, stride);
    });
}

} // namespace kamelo::imaging::colour
