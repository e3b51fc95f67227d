#include "magickcodec.h"

#include "bitmap.h"
#include "imaging/magick/magickmodule.h"
#include "result.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace kamelo::imaging::magickcodec {

namespace {

constexpr unsigned kPhotoCdBase = 3;

struct Module {
    KameloMagickPing ping = nullptr;
    KameloMagickDecode decode = nullptr;
    KameloMagickEncode encode = nullptr;
    bool loaded() const { return ping && decode && encode; }
};

// The folder of the running program, where the module is built and installed.
std::string programFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return {};
    path.resize(static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

const Module& module() {
    static Module m;
    static std::once_flag once;
    std::call_once(once, [] {
        // KAMELO_MAGICK_MODULE names another copy (tests of programs built
        // elsewhere); otherwise the one in the program folder.
        const char* override = std::getenv("KAMELO_MAGICK_MODULE");
        const std::string path =
            override && *override ? override : programFolder() + "/modules/kamelo-magick.so";
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return; // the older formats read as unsupported
        m.ping = reinterpret_cast<KameloMagickPing>(::dlsym(handle, "kamelo_magick_ping"));
        m.decode = reinterpret_cast<KameloMagickDecode>(::dlsym(handle, "kamelo_magick_decode"));
        m.encode = reinterpret_cast<KameloMagickEncode>(::dlsym(handle, "kamelo_magick_encode"));
    });
    return m;
}

const char* magickName(PictureFormat f) {
    switch (f) {
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Pcx:
        return "PCX";
    case PictureFormat::Dcx:
        return "DCX";
    case PictureFormat::Ras:
        return "SUN";
    case PictureFormat::Sgi:
        return "SGI";
    case PictureFormat::Tga:
        return "TGA";
    case PictureFormat::Pict:
        return "PICT";
    case PictureFormat::Pcd:
        return "PCD";
    case PictureFormat::Ico:
        return "ICO";
    case PictureFormat::Cur:
        return "CUR";
    case PictureFormat::Wmf:
        return "WMF";
    default:
        return nullptr;
    }
}

struct DecodeTarget {
    Bitmap& out;
    bool alpha = false;
};

int startPicture(void* context, int width, int height, int alpha, int xDpi, int yDpi) {
    auto* t = static_cast<DecodeTarget*>(context);
    const int rc = t->out.create(width, height);
    if (rc != result::kSuccess)
        return rc;
    t->alpha = alpha != 0;
    if (xDpi > 0 && yDpi > 0)
        t->out.setResolution(xDpi, yDpi);
    return result::kSuccess;
}

void takeRow(void* context, int y, const uint8_t* pixels) {
    auto* t = static_cast<DecodeTarget*>(context);
    uint8_t* dst = t->out.row(y);
    const int w = t->out.width();
    if (!t->alpha) {
        std::copy_n(pixels, static_cast<size_t>(w) * 3, dst);
        return;
    }
    for (int x = 0; x < w; ++x, dst += 3) {
        const uint8_t* p = pixels + x * 4;
        dst[0] = overWhite(p[2], p[3]);
        dst[1] = overWhite(p[1], p[3]);
        dst[2] = overWhite(p[0], p[3]);
    }
}

int takeFile(void* context, const uint8_t* data, size_t size) {
    try {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->clear();
        reserveFaulted(*out, size);
        out->assign(data, data + size);
    } catch (const std::bad_alloc&) {
        return result::kNoMemory;
    }
    return result::kSuccess;
}

} // namespace

bool available() {
    return module().loaded();
}

int ping(ByteView bytes, PictureFormat format, int& width, int& height) {
    const char* name = magickName(format);
    if (!name || bytes.size == 0)
        return result::kUnknownFormat;
    if (!available())
        return result::kUnsupported;
    // Photo CD keeps several resolutions; the 768 x 512 base is the picture.
    // Other formats ping their first image without a range (PICT answers a
    // ranged ping with wrong sizes).
    const bool photoCd = format == PictureFormat::Pcd;
    int w = 0, h = 0;
    const int rc = module().ping(bytes.data, bytes.size, name, photoCd ? kPhotoCdBase : 0,
                                 photoCd ? 1 : 0, kMaxPixels, &w, &h);
    if (rc < 1)
        return rc;
    width = w;
    height = h;
    return w > 0 && h > 0 ? result::kSuccess : result::kCorruptData;
}

int decode(ByteView bytes, PictureFormat format, const LoadOptions& options, Bitmap& out) {
    const char* name = magickName(format);
    if (!name || bytes.size == 0)
        return result::kUnknownFormat;
    if (!available())
        return result::kUnsupported;
    DecodeTarget target{out};
    const KameloMagickSink sink{&target, startPicture, takeRow};
    const unsigned subImage = format == PictureFormat::Pcd
                                  ? kPhotoCdBase
                                  : static_cast<unsigned>(std::max(0, options.page));
    const int rc = module().decode(bytes.data, bytes.size, name, subImage, kMaxPixels, &sink);
    if (rc < 1)
        return rc;
    if (options.onRows) {
        const int rows = options.onRows(out, 0, out.height(), 0);
        if (rows < 1)
            return rows;
    }
    return result::kSuccess;
}

int encode(const Bitmap& bitmap, const std::string& magick, std::vector<uint8_t>& out) {
    if (!bitmap.isAllocated())
        return result::kNoBitmap;
    if (!available())
        return result::kFileWrite;
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<uint8_t> packed;
    reserveFaulted(packed, static_cast<size_t>(w) * h * 3);
    packed.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        std::copy_n(bitmap.row(y), static_cast<size_t>(w) * 3, packed.data() + size_t(y) * w * 3);
    const KameloMagickOutput output{&out, takeFile};
    return module().encode(packed.data(), w, h, bitmap.xResolution(), bitmap.yResolution(),
                           magick.c_str(), &output);
}

} // namespace kamelo::imaging::magickcodec
