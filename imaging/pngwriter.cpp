#include "pngwriter.h"

#include "result.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kamelo::imaging::pngwriter {

namespace {

constexpr int kLevel = 6;
constexpr size_t kWindow = 32768;
// Filtered data per band: large enough that the window primed again at each
// band and the flush between bands cost nothing measurable, small enough
// that a few bands in flight are a sliver of the picture.
constexpr size_t kBandBytes = size_t(1) << 20;

void put32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void writeChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    put32(out, uint32_t(size));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size)
        out.insert(out.end(), data, data + size);
    put32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// A byte buffer that is not cleared when it grows: every byte used is
// written first, and clearing tens of megabytes costs as much as filtering.
struct Buffer {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    // Contents are not kept; a buffer large enough already is reused.
    void resize(size_t n) {
        if (n > capacity) {
            data.reset(new uint8_t[n]);
            capacity = n;
        }
        size = n;
    }
    size_t capacity = 0;
};

// One row as RGB, filtered; dest holds the filter byte and 3 * width bytes.
void filterRow(const Bitmap& bitmap, int y, std::vector<uint8_t>& rgb, std::vector<uint8_t>& prev,
               std::array<std::vector<uint8_t>, 5>& trial, uint8_t* dest) {
    const size_t n = size_t(bitmap.width()) * 3;
    const uint8_t* src = bitmap.row(y);
    for (size_t i = 0; i < n; i += 3) {
        rgb[i] = src[i + 2];
        rgb[i + 1] = src[i + 1];
        rgb[i + 2] = src[i];
    }
    if (y == 0)
        std::fill(prev.begin(), prev.end(), 0);
    // All five filters in one pass; the row takes the one whose bytes, read
    // as signed, add up to the least.
    uint8_t* t0 = trial[0].data();
    uint8_t* t1 = trial[1].data();
    uint8_t* t2 = trial[2].data();
    uint8_t* t3 = trial[3].data();
    uint8_t* t4 = trial[4].data();
    uint64_t sums[5] = {0, 0, 0, 0, 0};
    const auto cost = [](uint8_t v) { return uint32_t(v < 128 ? v : 256 - v); };
    for (size_t i = 0; i < n; ++i) {
        const int a = i >= 3 ? rgb[i - 3] : 0;
        const int b = prev[i];
        const int c = i >= 3 ? prev[i - 3] : 0;
        const int x = rgb[i];
        t0[i] = uint8_t(x);
        t1[i] = uint8_t(x - a);
        t2[i] = uint8_t(x - b);
        t3[i] = uint8_t(x - ((a + b) >> 1));
        t4[i] = uint8_t(x - paeth(a, b, c));
        sums[0] += cost(t0[i]);
        sums[1] += cost(t1[i]);
        sums[2] += cost(t2[i]);
        sums[3] += cost(t3[i]);
        sums[4] += cost(t4[i]);
    }
    int best = 0;
    for (int f = 1; f < 5; ++f)
        if (sums[f] < sums[best])
            best = f;
    dest[0] = uint8_t(best);
    std::memcpy(dest + 1, trial[size_t(best)].data(), n);
    prev.swap(rgb);
    // rgb now holds garbage of the row before; it is overwritten next call.
}

// Filters rows [first, last) into out; the row before first is read to
// seed the filters.
void filterRows(const Bitmap& bitmap, int first, int last, Buffer& out) {
    const size_t n = size_t(bitmap.width()) * 3;
    std::vector<uint8_t> rgb(n), prev(n, 0);
    std::array<std::vector<uint8_t>, 5> trial;
    for (auto& t : trial)
        t.resize(n);
    if (first > 0) {
        const uint8_t* src = bitmap.row(first - 1);
        for (size_t i = 0; i < n; i += 3) {
            prev[i] = src[i + 2];
            prev[i + 1] = src[i + 1];
            prev[i + 2] = src[i];
        }
    }
    out.resize(size_t(last - first) * (n + 1));
    for (int y = first; y < last; ++y)
        filterRow(bitmap, y, rgb, prev, trial, out.data.get() + size_t(y - first) * (n + 1));
}

struct Band {
    int first = 0;
    int last = 0;
    Buffer filtered;
    Buffer deflated;
    size_t deflatedSize = 0;
    uLong adler = 1;
    size_t length = 0;
    bool ok = false;
};

void deflateBand(const Bitmap& bitmap, Band& band, bool final) {
    const size_t rowBytes = size_t(bitmap.width()) * 3 + 1;
    // The rows before the band, filtered the same way, prime the window.
    const int primeRows =
        band.first == 0 ? 0 : std::min(band.first, int((kWindow + rowBytes - 1) / rowBytes));
    Buffer& filtered = band.filtered;
    filterRows(bitmap, band.first - primeRows, band.last, filtered);
    const size_t primeBytes = size_t(primeRows) * rowBytes;
    const uint8_t* data = filtered.data.get() + primeBytes;
    band.length = size_t(band.last - band.first) * rowBytes;
    band.adler = adler32(1, data, uInt(band.length));

    band.ok = false;
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK)
        return;
    if (primeBytes) {
        const size_t dict = std::min(primeBytes, kWindow);
        deflateSetDictionary(&z, filtered.data.get() + primeBytes - dict, uInt(dict));
    }
    const size_t bound = deflateBound(&z, uLong(band.length)) + 16;
    if (band.deflated.size < bound)
        band.deflated.resize(bound);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = uInt(band.length);
    z.next_out = band.deflated.data.get();
    z.avail_out = uInt(band.deflated.size);
    const int rc = deflate(&z, final ? Z_FINISH : Z_SYNC_FLUSH);
    band.ok = final ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0;
    band.deflatedSize = band.deflated.size - z.avail_out;
    deflateEnd(&z);
}

bool compressed(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    uLongf n = compressBound(uLong(size));
    const size_t at = out.size();
    out.resize(at + n);
    if (compress2(out.data() + at, &n, data, uLong(size), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    out.resize(at + n);
    return true;
}

// The chunks of metadata; false when one cannot be made.
bool metadataChunks(const Metadata& m, std::vector<uint8_t>& out) {
    if (!m.icc.empty()) {
        static const char name[] = "ICC Profile"; // with its NUL
        std::vector<uint8_t> data(name, name + sizeof name);
        data.push_back(0); // deflate
        if (!compressed(m.icc.data(), m.icc.size(), data))
            return false;
        writeChunk(out, "iCCP", data.data(), data.size());
    }
    if (!m.exif.empty())
        writeChunk(out, "eXIf", m.exif.data(), m.exif.size());
    if (!m.xmp.empty()) {
        static const char keyword[] = "XML:com.adobe.xmp"; // with its NUL
        std::vector<uint8_t> data(keyword, keyword + sizeof keyword);
        // Not compressed, no language, no translated keyword: as other
        // programs find the packet by scanning the file.
        data.insert(data.end(), {0, 0, 0, 0});
        data.insert(data.end(), m.xmp.begin(), m.xmp.end());
        writeChunk(out, "iTXt", data.data(), data.size());
    }
    if (!m.iptc.empty()) {
        static const char keyword[] = "Raw profile type iptc"; // with its NUL
        std::string text = "\niptc\n";
        char length[24];
        std::snprintf(length, sizeof length, "%8zu", m.iptc.size());
        text += length;
        static const char hex[] = "0123456789abcdef";
        for (size_t i = 0; i < m.iptc.size(); ++i) {
            if (i % 36 == 0)
                text += '\n';
            text += hex[m.iptc[i] >> 4];
            text += hex[m.iptc[i] & 15];
        }
        text += '\n';
        std::vector<uint8_t> data(keyword, keyword + sizeof keyword);
        data.push_back(0); // deflate
        if (!compressed(reinterpret_cast<const uint8_t*>(text.data()), text.size(), data))
            return false;
        writeChunk(out, "zTXt", data.data(), data.size());
    }
    return true;
}

// Chunks go out as they are made: the whole file is never held in memory.
class ChunkWriter {
public:
    explicit ChunkWriter(const Sink& sink) : sink_(sink) {}
    bool ok() const { return ok_; }
    void put(const uint8_t* data, size_t size) {
        if (ok_ && size)
            ok_ = sink_(data, size);
    }
    void chunk(const char type[4], const uint8_t* data, size_t size) {
        std::vector<uint8_t> frame;
        writeChunk(frame, type, data, size);
        put(frame.data(), frame.size());
    }
    // An IDAT chunk of the given pieces, in order.
    void idat(std::initializer_list<std::pair<const uint8_t*, size_t>> pieces) {
        size_t size = 0;
        for (const auto& p : pieces)
            size += p.second;
        std::vector<uint8_t> head;
        put32(head, uint32_t(size));
        head.insert(head.end(), {'I', 'D', 'A', 'T'});
        uLong crc = crc32(0, head.data() + 4, 4);
        put(head.data(), head.size());
        for (const auto& p : pieces) {
            crc = crc32_z(crc, p.first, p.second);
            put(p.first, p.second);
        }
        std::vector<uint8_t> tail;
        put32(tail, uint32_t(crc));
        put(tail.data(), tail.size());
    }

private:
    const Sink& sink_;
    bool ok_ = true;
};

// Rows per band: about kBandBytes of filtered data, at least one row.
int bandRows(const Bitmap& bitmap) {
    const size_t rowBytes = size_t(bitmap.width()) * 3 + 1;
    return int(std::clamp<size_t>(kBandBytes / rowBytes, 1, size_t(bitmap.height())));
}

} // namespace

int write(const Bitmap& bitmap, const Metadata& metadata, const Sink& sink, int threads) {
    return withoutThrowing([&] {
        if (!bitmap.isAllocated())
            return result::kNoBitmap;
        ChunkWriter out(sink);
        static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        out.put(signature, 8);
        std::vector<uint8_t> header;
        put32(header, uint32_t(bitmap.width()));
        put32(header, uint32_t(bitmap.height()));
        header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, no interlace
        out.chunk("IHDR", header.data(), header.size());
        std::vector<uint8_t> phys;
        put32(phys, uint32_t(bitmap.xResolution() / 0.0254 + 0.5));
        put32(phys, uint32_t(bitmap.yResolution() / 0.0254 + 0.5));
        phys.push_back(1); // per metre
        out.chunk("pHYs", phys.data(), phys.size());
        std::vector<uint8_t> meta;
        if (!metadataChunks(metadata, meta))
            return result::kNoMemory;
        out.put(meta.data(), meta.size());

        // Bands of rows are filtered and deflated on the workers, a few
        // ahead of the one being written, and written in order, each as an
        // IDAT chunk: memory stays a few bands whatever the picture's size.
        const int rows = bandRows(bitmap);
        const int bands = (bitmap.height() + rows - 1) / rows;
        if (threads <= 0)
            threads = int(std::max(1u, std::thread::hardware_concurrency()));
        threads = std::clamp(threads, 1, bands);
        const int window = threads * 2;
        std::vector<Band> inFlight(static_cast<size_t>(window));
        std::vector<int> ready(static_cast<size_t>(window), -1);
        std::mutex mutex;
        std::condition_variable changed;
        int next = 0, written = 0;
        bool failed = false;
        auto work = [&] {
            for (;;) {
                int index;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(
                        lock, [&] { return failed || next >= bands || next < written + window; });
                    if (failed || next >= bands)
                        return;
                    index = next++;
                }
                Band& band = inFlight[size_t(index % window)];
                band.first = index * rows;
                band.last = std::min(bitmap.height(), band.first + rows);
                try {
                    deflateBand(bitmap, band, index == bands - 1);
                } catch (...) {
                    band.ok = false;
                }
                std::lock_guard lock(mutex);
                ready[size_t(index % window)] = index;
                changed.notify_all();
            }
        };
        std::vector<std::thread> workers;
        for (int i = 0; i < threads; ++i)
            workers.emplace_back(work);

        static const uint8_t zlibHeader[2] = {0x78, 0x9C}; // deflate, 32 KB window, level 6
        uLong adler = 1;
        int rc = result::kSuccess;
        for (int i = 0; i < bands; ++i) {
            Band* band = nullptr;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready[size_t(i % window)] == i; });
                band = &inFlight[size_t(i % window)];
            }
            if (!band->ok) {
                rc = result::kNoMemory;
                break;
            }
            adler = adler32_combine(adler, band->adler, z_off_t(band->length));
            uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8),
                                  uint8_t(adler)};
            const bool last = i == bands - 1;
            out.idat({{zlibHeader, i == 0 ? 2u : 0u},
                      {band->deflated.data.get(), band->deflatedSize},
                      {trailer, last ? 4u : 0u}});
            if (!out.ok()) {
                rc = result::kFileWrite;
                break;
            }
            std::lock_guard lock(mutex);
            ready[size_t(i % window)] = -1;
            written = i + 1;
            changed.notify_all();
        }
        {
            std::lock_guard lock(mutex);
            if (rc < 1)
                failed = true;
            changed.notify_all();
        }
        for (auto& w : workers)
            w.join();
        if (rc < 1)
            return rc;
        out.chunk("IEND", nullptr, 0);
        return out.ok() ? result::kSuccess : result::kFileWrite;
    });
}

int encode(const Bitmap& bitmap, std::vector<uint8_t>& out, int threads) {
    return encode(bitmap, out, Metadata(), threads);
}

int encode(const Bitmap& bitmap, std::vector<uint8_t>& out, const Metadata& metadata, int threads) {
    out.clear();
    return write(
        bitmap, metadata,
        [&](const uint8_t* data, size_t size) {
            out.insert(out.end(), data, data + size);
            return true;
        },
        threads);
}

} // namespace kamelo::imaging::pngwriter
