#include "gifcodec.h"

#include "memorybudget.h"
#include "plausibility.h"
#include "result.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

namespace kamelo::imaging::gifcodec {

namespace {

struct Reader {
    ByteView bytes;
    size_t pos = 0;
};

int readFn(GifFileType* gif, GifByteType* buf, int len) {
    auto* r = static_cast<Reader*>(gif->UserData);
    if (len <= 0)
        return 0;
    const size_t n = std::min<size_t>(static_cast<size_t>(len), r->bytes.size - r->pos);
    std::memcpy(buf, r->bytes.data + r->pos, n);
    r->pos += n;
    return static_cast<int>(n);
}

struct Session {
    Reader reader;
    GifFileType* gif = nullptr;
    int openError = 0;
    // Frames that arrived whole. giflib's own count must stay as it is, or
    // closing the file would not free the broken last frame.
    int frames = 0;
    explicit Session(ByteView bytes) {
        reader.bytes = bytes;
        gif = DGifOpen(&reader, readFn, &openError);
    }
    ~Session() {
        if (gif) {
            int err = 0;
            DGifCloseFile(gif, &err);
        }
    }
};

std::vector<uint32_t> paletteOf(const ColorMapObject* map) {
    std::vector<uint32_t> p;
    if (!map || !map->Colors)
        return p;
    for (int i = 0; i < map->ColorCount; ++i)
        p.push_back(uint32_t(map->Colors[i].Red) << 16 | uint32_t(map->Colors[i].Green) << 8 |
                    map->Colors[i].Blue);
    return p;
}

int screenBits(const GifFileType* gif) {
    if (gif->SColorMap)
        return gif->SColorMap->BitsPerPixel;
    if (gif->ImageCount > 0 && gif->SavedImages[0].ImageDesc.ColorMap)
        return gif->SavedImages[0].ImageDesc.ColorMap->BitsPerPixel;
    return 8;
}

// Walks the records without decompressing them: counts the frames and
// whether any declares more pixels than the file could encode.
bool walkFrames(Session& s, int& frames, int& firstLocalBits) {
    bool plausibleFrames = true;
    GifRecordType type;
    do {
        if (DGifGetRecordType(s.gif, &type) != GIF_OK)
            break;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(s.gif) != GIF_OK)
                break;
            if (frames == 0 && s.gif->Image.ColorMap)
                firstLocalBits = s.gif->Image.ColorMap->BitsPerPixel;
            if (!plausibility::plausible(s.gif->Image.Width, s.gif->Image.Height,
                                         s.reader.bytes.size, plausibility::kGifPixelsPerByte))
                plausibleFrames = false;
            int codeSize = 0;
            GifByteType* block = nullptr;
            if (DGifGetCode(s.gif, &codeSize, &block) != GIF_OK)
                break;
            while (block)
                if (DGifGetCodeNext(s.gif, &block) != GIF_OK)
                    break;
            ++frames;
        } else if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(s.gif, &code, &ext) != GIF_OK)
                break;
            while (ext)
                if (DGifGetExtensionNext(s.gif, &ext) != GIF_OK)
                    break;
        }
    } while (type != TERMINATE_RECORD_TYPE);
    return plausibleFrames;
}

int slurp(Session& s) {
    if (!s.gif)
        return s.openError == D_GIF_ERR_NOT_GIF_FILE ? result::kUnknownFormat
                                                     : result::kCorruptData;
    if (s.gif->SWidth <= 0 || s.gif->SHeight <= 0)
        return result::kCorruptData;
    if (int64_t(s.gif->SWidth) * s.gif->SHeight > kMaxPixels)
        return result::kTooLarge;
    // A screen or frame of more pixels than the file can encode is forged;
    // giflib would allocate every frame's declared size before reading it.
    if (!plausibility::plausible(s.gif->SWidth, s.gif->SHeight, s.reader.bytes.size,
                                 plausibility::kGifPixelsPerByte))
        return result::kCorruptData;
    {
        Session walk(s.reader.bytes);
        int frames = 0, bits = 0;
        if (!walk.gif || !walkFrames(walk, frames, bits))
            return result::kCorruptData;
    }
    if (DGifSlurp(s.gif) != GIF_OK) {
        // Keep what arrived intact when at least one frame is complete.
        if (s.gif->ImageCount <= 1 || s.gif->Error == D_GIF_ERR_NOT_ENOUGH_MEM)
            return s.gif->Error == D_GIF_ERR_NOT_ENOUGH_MEM ? result::kNoMemory
                                                            : result::kTruncated;
        s.frames = s.gif->ImageCount - 1; // the last one is the broken one
    } else {
        s.frames = s.gif->ImageCount;
    }
    return s.frames > 0 ? result::kSuccess : result::kCorruptData;
}

GraphicsControlBlock controlOf(const GifFileType* gif, int i) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(const_cast<GifFileType*>(gif), i, &gcb);
    return gcb;
}

const ColorMapObject* mapOf(const GifFileType* gif, int i) {
    const SavedImage& img = gif->SavedImages[i];
    return img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
}

// The part of the screen frame i covers.
Rect areaOf(const GifFileType* gif, int i) {
    const GifImageDesc& d = gif->SavedImages[i].ImageDesc;
    const int x0 = std::max(0, d.Left), y0 = std::max(0, d.Top);
    const int x1 = std::min(gif->SWidth, d.Left + std::max(0, d.Width));
    const int y1 = std::min(gif->SHeight, d.Top + std::max(0, d.Height));
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect unite(const Rect& a, const Rect& b) {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.width, b.x + b.width);
    const int y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Draws the frames one after the other on one screen, each after the
// previous one's disposal. Only the area under a frame that is disposed to
// "previous" is saved, never a second screen.
class Compositor {
public:
    explicit Compositor(const GifFileType* gif) : gif_(gif) {}

    int start() { return screen_.create(gif_->SWidth, gif_->SHeight); }
    Bitmap& screen() { return screen_; }

    // What drawing frame i (after the previous one's disposal) may change.
    Rect changedBy(int i) const {
        const bool disposes =
            previousDisposal_ == DISPOSE_BACKGROUND || previousDisposal_ == DISPOSE_PREVIOUS;
        return unite(disposes ? previousArea_ : Rect{}, areaOf(gif_, i));
    }

    int draw(int i) {
        if (i > 0)
            disposePrevious();
        const SavedImage& img = gif_->SavedImages[i];
        const GraphicsControlBlock gcb = controlOf(gif_, i);
        const auto palette = paletteOf(mapOf(gif_, i));
        const Rect area = areaOf(gif_, i);
        if (gcb.DisposalMode == DISPOSE_PREVIOUS && !FramePatch::copyOut(screen_, area, saved_))
            return result::kNoMemory;
        const int fx = img.ImageDesc.Left, fy = img.ImageDesc.Top, fw = img.ImageDesc.Width;
        if (img.RasterBits && !palette.empty()) {
            for (int y = area.y; y < area.y + area.height; ++y) {
                const GifByteType* src = img.RasterBits + static_cast<size_t>(y - fy) * fw;
                for (int x = area.x; x < area.x + area.width; ++x) {
                    const int index = src[x - fx];
                    if (index == gcb.TransparentColor || index >= static_cast<int>(palette.size()))
                        continue;
                    screen_.setPixel(x, y, palette[index]);
                }
            }
        }
        previousArea_ = area;
        previousDisposal_ = gcb.DisposalMode;
        return result::kSuccess;
    }

    // The frame's timing and colours, without its screen.
    AnimationFrame describe(int i) const {
        const GraphicsControlBlock gcb = controlOf(gif_, i);
        const auto palette = paletteOf(mapOf(gif_, i));
        AnimationFrame frame;
        frame.delayMs = gcb.DelayTime * 10;
        frame.disposal = static_cast<Disposal>(std::clamp(gcb.DisposalMode, 0, 3));
        frame.transparencyEnabled = gcb.TransparentColor != NO_TRANSPARENT_COLOR;
        if (frame.transparencyEnabled && gcb.TransparentColor < static_cast<int>(palette.size()))
            frame.transparentColor = palette[gcb.TransparentColor];
        frame.palette = palette;
        return frame;
    }

    // The screen as a frame's picture carries it.
    void label(Bitmap& b, int i) const {
        b.setSourceBitsPerPixel(screenBits(gif_));
        b.setPalette(paletteOf(mapOf(gif_, i)));
    }

private:
    void disposePrevious() {
        const Rect& r = previousArea_;
        if (previousDisposal_ == DISPOSE_BACKGROUND) {
            for (int y = r.y; y < r.y + r.height; ++y)
                std::memset(screen_.row(y) + size_t(r.x) * 3, 0xFF, size_t(r.width) * 3);
        } else if (previousDisposal_ == DISPOSE_PREVIOUS) {
            FramePatch::paste(screen_, r, saved_);
        }
    }

    const GifFileType* gif_;
    Bitmap screen_;
    std::vector<uint8_t> saved_;
    Rect previousArea_;
    int previousDisposal_ = DISPOSAL_UNSPECIFIED;
};

// Composites the first count frames, each kept with its own copy of the
// screen; the last one takes the screen itself. A copy the machine cannot
// give throws, leaving the frames made before.
int compositeWhole(const Session& s, int count, AnimatedBitmap& out) {
    Compositor c(s.gif);
    int rc = c.start();
    if (rc != result::kSuccess)
        return rc;
    for (int i = 0; i < count; ++i) {
        if ((rc = c.draw(i)) < 1)
            return rc;
        AnimationFrame frame = c.describe(i);
        if (i + 1 < count)
            frame.bitmap = c.screen();
        else
            frame.bitmap = std::move(c.screen());
        c.label(frame.bitmap, i);
        out.append(std::move(frame));
    }
    return result::kSuccess;
}

// Composites the first count frames on one screen, keeping what each frame
// changes as a patch, and leaves the screen at the first frame.
int compositePatches(const Session& s, int count, AnimatedBitmap& out) {
    Compositor c(s.gif);
    int rc = c.start();
    if (rc != result::kSuccess)
        return rc;
    std::vector<FramePatch> patches(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        FramePatch& p = patches[static_cast<size_t>(i)];
        if (i > 0) {
            p.rect = c.changedBy(i);
            if (!FramePatch::copyOut(c.screen(), p.rect, p.before))
                return result::kNoMemory;
        }
        if ((rc = c.draw(i)) < 1)
            return rc;
        if (i > 0 && !FramePatch::copyOut(c.screen(), p.rect, p.after))
            return result::kNoMemory;
        out.append(c.describe(i));
    }
    for (int i = count - 1; i >= 1; --i)
        FramePatch::paste(c.screen(), patches[size_t(i)].rect, patches[size_t(i)].before);
    c.label(c.screen(), 0);
    out.setPatches(std::move(c.screen()), std::move(patches));
    return result::kSuccess;
}

// Frame 0 alone reduced to 1/n: each pixel is the mean of its n x n block of
// the screen (white outside the frame), so a huge screen is never made.
int decodeFirstReduced(const Session& s, int n, Bitmap& out) {
    const GifFileType* gif = s.gif;
    const int w = (gif->SWidth + n - 1) / n, h = (gif->SHeight + n - 1) / n;
    Bitmap reduced;
    int rc = reduced.create(w, h);
    if (rc != result::kSuccess)
        return rc;
    const SavedImage& img = gif->SavedImages[0];
    const GraphicsControlBlock gcb = controlOf(gif, 0);
    const auto palette = paletteOf(mapOf(gif, 0));
    const Rect area = areaOf(gif, 0);
    if (img.RasterBits && !palette.empty() && !area.empty()) {
        const int fx = img.ImageDesc.Left, fy = img.ImageDesc.Top, fw = img.ImageDesc.Width;
        auto colourAt = [&](int x, int y) -> uint32_t {
            if (x < area.x || y < area.y || x >= area.x + area.width || y >= area.y + area.height)
                return 0xFFFFFF;
            const int index = img.RasterBits[static_cast<size_t>(y - fy) * fw + (x - fx)];
            if (index == gcb.TransparentColor || index >= static_cast<int>(palette.size()))
                return 0xFFFFFF;
            return palette[index];
        };
        for (int oy = area.y / n; oy <= (area.y + area.height - 1) / n; ++oy)
            for (int ox = area.x / n; ox <= (area.x + area.width - 1) / n; ++ox) {
                uint32_t r = 0, g = 0, b = 0, count = 0;
                for (int y = oy * n; y < std::min(gif->SHeight, oy * n + n); ++y)
                    for (int x = ox * n; x < std::min(gif->SWidth, ox * n + n); ++x) {
                        const uint32_t c = colourAt(x, y);
                        r += c >> 16 & 0xFF;
                        g += c >> 8 & 0xFF;
                        b += c & 0xFF;
                        ++count;
                    }
                reduced.setPixel(ox, oy,
                                 (r + count / 2) / count << 16 | (g + count / 2) / count << 8 |
                                     (b + count / 2) / count);
            }
    }
    reduced.setSourceBitsPerPixel(screenBits(gif));
    reduced.setPalette(palette);
    out = std::move(reduced);
    return result::kSuccess;
}

// Frames that fit the budget when each is a whole screen (with the copy
// shown beside them) and when they are patches on one screen; whether
// patches are the better choice. Each frame's timing and palette count too.
struct Keeping {
    int frames = 1;
    bool patches = false;
};

Keeping keepingFor(const Session& s, size_t budget) {
    const GifFileType* gif = s.gif;
    const size_t screenBytes =
        static_cast<size_t>(Bitmap::strideFor(gif->SWidth)) * static_cast<size_t>(gif->SHeight);
    size_t wholeBytes = screenBytes, patchBytes = screenBytes;
    int whole = 0, patched = 0;
    bool wholeFits = true, patchFits = true;
    for (int i = 0; i < s.frames && (wholeFits || patchFits); ++i) {
        const ColorMapObject* map = mapOf(gif, i);
        const size_t own = sizeof(AnimationFrame) +
                           (map ? size_t(std::max(0, map->ColorCount)) * sizeof(uint32_t) : 0);
        // The first frame is always kept.
        if (wholeFits && (i == 0 || wholeBytes + screenBytes + own <= budget)) {
            wholeBytes += screenBytes + own;
            whole = i + 1;
        } else {
            wholeFits = false;
        }
        // What a frame may change follows from the previous frame's disposal
        // and its own rectangle, known without drawing anything.
        size_t bytes = sizeof(FramePatch) + own;
        if (i > 0) {
            const int disposal = controlOf(gif, i - 1).DisposalMode;
            const bool disposes = disposal == DISPOSE_BACKGROUND || disposal == DISPOSE_PREVIOUS;
            bytes += 2 * FramePatch::bytesFor(
                             unite(disposes ? areaOf(gif, i - 1) : Rect{}, areaOf(gif, i)));
        }
        if (patchFits && (i == 0 || patchBytes + bytes <= budget)) {
            patchBytes += bytes;
            patched = i + 1;
        } else {
            patchFits = false;
        }
    }
    return patchesKeepMore(whole, wholeBytes, patched, patchBytes) ? Keeping{patched, true}
                                                                   : Keeping{whole, false};
}

} // namespace

int readInfo(ByteView bytes, FileInfo& fi) {
    Session s(bytes);
    if (!s.gif)
        return s.openError == D_GIF_ERR_NOT_GIF_FILE ? result::kUnknownFormat
                                                     : result::kCorruptData;
    if (s.gif->SWidth <= 0 || s.gif->SHeight <= 0)
        return result::kCorruptData;
    int frames = 0;
    int firstLocalBits = 0;
    walkFrames(s, frames, firstLocalBits);
    if (frames == 0)
        return result::kCorruptData;
    fi.format = PictureFormat::Gif;
    fi.width = s.gif->SWidth;
    fi.height = s.gif->SHeight;
    // The screen descriptor's colour-table size field, present or not.
    fi.bitsPerPixel =
        bytes.size > 10 ? (bytes.data[10] & 7) + 1 : (firstLocalBits ? firstLocalBits : 8);
    fi.compression = "LZW";
    fi.pageCount = frames;
    return result::kSuccess;
}

int decode(ByteView bytes, const LoadOptions& options, Bitmap& out) {
    Session s(bytes);
    int rc = slurp(s);
    if (rc < 1)
        return rc;
    if (options.page < 0 || options.page >= s.frames)
        return result::kInvalidParameter;
    const int n = options.scaleDenominator;
    if (options.page == 0 && (n == 2 || n == 4 || n == 8)) {
        rc = decodeFirstReduced(s, n, out);
    } else {
        Compositor c(s.gif);
        rc = c.start();
        for (int i = 0; i <= options.page && rc >= 1; ++i)
            rc = c.draw(i);
        if (rc >= 1) {
            c.label(c.screen(), options.page);
            out = std::move(c.screen());
        }
    }
    if (rc < 1)
        return rc;
    if (options.onRows) {
        rc = options.onRows(out, 0, out.height(), 0);
        if (rc < 1)
            return rc;
    }
    return result::kSuccess;
}

int decodeAnimation(ByteView bytes, AnimatedBitmap& out) {
    out.clear();
    Session s(bytes);
    int rc = slurp(s);
    if (rc < 1)
        return rc;
    // A small file of many tiny frames on a large screen would ask for
    // frames x screen bytes as whole screens: only the frames that fit the
    // animation budget are kept (always the first), as whole screens or as
    // patches on one screen, whichever keeps more.
    const Keeping keeping = keepingFor(s, memorybudget::animationBudget());
    try {
        rc = keeping.patches ? compositePatches(s, keeping.frames, out)
                             : compositeWhole(s, keeping.frames, out);
    } catch (const std::bad_alloc&) {
        // The machine ran short before the budget did: the whole screens
        // made so far play on their own; patches need all of theirs.
        rc = out.empty() || keeping.patches ? result::kNoMemory : result::kSuccess;
    }
    if (rc < 1) {
        out.clear();
        return rc;
    }
    out.setFramesLeftOut(s.frames - out.frameCount());
    return result::kSuccess;
}

} // namespace kamelo::imaging::gifcodec
