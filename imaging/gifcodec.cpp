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

// Composites frames 0..last (or all when last < 0), handing each one out.
template <typename Sink> int composite(const Session& s, int last, Sink&& sink) {
    GifFileType* gif = s.gif;
    Bitmap screen;
    int rc = screen.create(gif->SWidth, gif->SHeight);
    if (rc != result::kSuccess)
        return rc;
    Bitmap saved;
    const int count = last < 0 ? s.frames : std::min(last + 1, s.frames);
    for (int i = 0; i < count; ++i) {
        const SavedImage& img = gif->SavedImages[i];
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject* map =
            img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
        const auto palette = paletteOf(map);
        if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            saved = screen;

        const int fx = img.ImageDesc.Left, fy = img.ImageDesc.Top;
        const int fw = img.ImageDesc.Width, fh = img.ImageDesc.Height;
        if (img.RasterBits && fw > 0 && fh > 0 && !palette.empty()) {
            for (int y = std::max(0, -fy); y < fh && fy + y < screen.height(); ++y) {
                const GifByteType* src = img.RasterBits + static_cast<size_t>(y) * fw;
                for (int x = std::max(0, -fx); x < fw && fx + x < screen.width(); ++x) {
                    const int index = src[x];
                    if (index == gcb.TransparentColor || index >= static_cast<int>(palette.size()))
                        continue;
                    screen.setPixel(fx + x, fy + y, palette[index]);
                }
            }
        }
        AnimationFrame frame;
        frame.bitmap = screen;
        frame.bitmap.setSourceBitsPerPixel(screenBits(gif));
        frame.bitmap.setPalette(palette);
        frame.delayMs = gcb.DelayTime * 10;
        frame.disposal = static_cast<Disposal>(std::clamp(gcb.DisposalMode, 0, 3));
        frame.transparencyEnabled = gcb.TransparentColor != NO_TRANSPARENT_COLOR;
        if (frame.transparencyEnabled && gcb.TransparentColor < static_cast<int>(palette.size()))
            frame.transparentColor = palette[gcb.TransparentColor];
        frame.palette = palette;
        rc = sink(i, std::move(frame));
        if (rc < 1)
            return rc;

        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = std::max(0, fy); y < fy + fh && y < screen.height(); ++y)
                for (int x = std::max(0, fx); x < fx + fw && x < screen.width(); ++x)
                    screen.setPixel(x, y, 0xFFFFFF);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS && saved.isAllocated()) {
            screen = saved;
        }
    }
    return result::kSuccess;
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
    rc = composite(s, options.page, [&](int i, AnimationFrame&& f) {
        if (i == options.page)
            out = std::move(f.bitmap);
        return result::kSuccess;
    });
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
    // Every frame is kept as a whole screen, so a small file of many tiny
    // frames on a large screen asks for frames x screen bytes. Only the
    // frames that fit the animation budget are kept (always the first).
    const size_t screenBytes =
        static_cast<size_t>(Bitmap::strideFor(s.gif->SWidth)) * static_cast<size_t>(s.gif->SHeight);
    const size_t fit = std::max<size_t>(1, memorybudget::animationBudget() / screenBytes);
    const int keep = static_cast<int>(std::min<size_t>(fit, size_t(s.frames)));
    try {
        rc = composite(s, keep - 1, [&](int, AnimationFrame&& f) {
            out.append(std::move(f));
            return result::kSuccess;
        });
    } catch (const std::bad_alloc&) {
        // The machine ran short before the budget did: keep what was made.
        rc = out.empty() ? result::kNoMemory : result::kSuccess;
    }
    if (rc < 1) {
        out.clear();
        return rc;
    }
    out.setFramesLeftOut(s.frames - out.frameCount());
    return result::kSuccess;
}

} // namespace kamelo::imaging::gifcodec
