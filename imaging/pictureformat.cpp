#include "pictureformat.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kamelo::imaging {

namespace {

bool startsWith(const uint8_t* d, size_t n, const char* magic, size_t len) {
    return n >= len && std::memcmp(d, magic, len) == 0;
}

uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

bool looksLikePcx(const uint8_t* d, size_t n) {
    return n >= 128 && d[0] == 0x0A && d[1] <= 5 && d[2] <= 1 &&
           (d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8);
}

bool looksLikePict(const uint8_t* d, size_t n) {
    // Version opcodes after the 512-byte header, size and frame.
    for (size_t base : {size_t(512), size_t(0)}) {
        const size_t v = base + 10;
        if (n >= v + 4 &&
            ((d[v] == 0x00 && d[v + 1] == 0x11 && d[v + 2] == 0x02 && d[v + 3] == 0xFF) ||
             (d[v] == 0x11 && d[v + 1] == 0x01)))
            return true;
    }
    return false;
}

bool looksLikeTga(const uint8_t* d, size_t n) {
    if (n < 18)
        return false;
    const uint8_t mapType = d[1], type = d[2], depth = d[16];
    const bool typeOk =
        type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return mapType <= 1 && typeOk && depthOk && le16(d + 12) > 0 && le16(d + 14) > 0;
}

bool looksLikeWmf(const uint8_t* d, size_t n) {
    if (startsWith(d, n, "\xD7\xCD\xC6\x9A", 4))
        return true;
    // A plain metafile header: type 1 or 2, header size 9 words, version 0x300/0x100.
    return n >= 18 && (le16(d) == 1 || le16(d) == 2) && le16(d + 2) == 9 &&
           (le16(d + 4) == 0x300 || le16(d + 4) == 0x100);
}

constexpr std::string_view kRawExtensions[] = {
    "dng", "cr2", "cr3", "crw", "nef", "nrw", "arw", "srf", "sr2", "orf", "rw2", "raf",
    "pef", "srw", "3fr", "erf", "kdc", "mrw", "x3f", "iiq", "rwl", "mos", "mef", "dcr"};

std::string lower(std::string_view text) {
    std::string e(text);
    if (!e.empty() && e[0] == '.')
        e.erase(0, 1);
    std::transform(e.begin(), e.end(), e.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

// The major brand or a compatible brand of an ISO base media file's "ftyp"
// box, when the file starts with one: HEIF or AVIF.
PictureFormat isoBrandFormat(const uint8_t* d, size_t n) {
    if (n < 16 || std::memcmp(d + 4, "ftyp", 4) != 0)
        return PictureFormat::Unknown;
    const uint32_t boxSize = uint32_t(d[0]) << 24 | d[1] << 16 | d[2] << 8 | d[3];
    if (boxSize < 16)
        return PictureFormat::Unknown;
    const size_t end = std::min<size_t>(n, boxSize);
    auto brandAt = [&](size_t at) { return std::string_view(reinterpret_cast<const char*>(d + at), 4); };
    // The major brand decides; compatible brands only when it names neither.
    for (size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
        const std::string_view b = brandAt(at);
        if (b == "avif" || b == "avis")
            return PictureFormat::Avif;
        if (b == "heic" || b == "heix" || b == "heim" || b == "heis" || b == "hevc" ||
            b == "hevx" || b == "hevm" || b == "hevs" || b == "mif1" || b == "msf1")
            return PictureFormat::Heif;
        if (b == "crx ")
            return PictureFormat::Raw; // Canon CR3
    }
    return PictureFormat::Unknown;
}

} // namespace

bool isRawExtension(std::string_view extension) {
    const std::string e = lower(extension);
    for (std::string_view r : kRawExtensions)
        if (e == r)
            return true;
    return false;
}

const std::vector<std::string_view>& modernExtensions() {
    static const std::vector<std::string_view> all = [] {
        std::vector<std::string_view> v = {"heic", "heif", "hif", "avif", "webp", "jxl"};
        v.insert(v.end(), std::begin(kRawExtensions), std::end(kRawExtensions));
        return v;
    }();
    return all;
}

const char* formatName(PictureFormat f) {
    switch (f) {
    case PictureFormat::Jpeg:
        return "JPEG";
    case PictureFormat::Bmp:
        return "BMP";
    case PictureFormat::Tiff:
        return "TIFF";
    case PictureFormat::Tga:
        return "TGA";
    case PictureFormat::Png:
        return "PNG";
    case PictureFormat::Wmf:
        return "WMF";
    case PictureFormat::Pcx:
        return "PCX";
    case PictureFormat::Pcd:
        return "PCD";
    case PictureFormat::Emf:
        return "EMF";
    case PictureFormat::Ico:
        return "ICO";
    case PictureFormat::Cur:
        return "CUR";
    case PictureFormat::Dcx:
        return "DCX";
    case PictureFormat::Pict:
        return "PICT";
    case PictureFormat::Iff:
        return "IFF";
    case PictureFormat::Gif:
        return "GIF";
    case PictureFormat::Psd:
        return "PSD";
    case PictureFormat::Ras:
        return "SUN";
    case PictureFormat::Sgi:
        return "SGI";
    case PictureFormat::Heif:
        return "HEIF";
    case PictureFormat::Avif:
        return "AVIF";
    case PictureFormat::WebP:
        return "WEBP";
    case PictureFormat::Jxl:
        return "JXL";
    case PictureFormat::Raw:
        return "RAW";
    case PictureFormat::Unknown:
        break;
    }
    return "";
}

std::string extensionOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

PictureFormat formatFromExtension(std::string_view extension) {
    const std::string e = lower(extension);
    struct Entry {
        const char* ext;
        PictureFormat format;
    };
    static const Entry table[] = {
        {"jpg", PictureFormat::Jpeg},  {"jpeg", PictureFormat::Jpeg}, {"bmp", PictureFormat::Bmp},
        {"tif", PictureFormat::Tiff},  {"tiff", PictureFormat::Tiff}, {"tga", PictureFormat::Tga},
        {"png", PictureFormat::Png},   {"wmf", PictureFormat::Wmf},   {"pcx", PictureFormat::Pcx},
        {"pcd", PictureFormat::Pcd},   {"emf", PictureFormat::Emf},   {"ico", PictureFormat::Ico},
        {"cur", PictureFormat::Cur},   {"dcx", PictureFormat::Dcx},   {"pct", PictureFormat::Pict},
        {"pict", PictureFormat::Pict}, {"iff", PictureFormat::Iff},   {"gif", PictureFormat::Gif},
        {"psd", PictureFormat::Psd},   {"ras", PictureFormat::Ras},   {"sgi", PictureFormat::Sgi},
        {"rgb", PictureFormat::Sgi},   {"bw", PictureFormat::Sgi},
        {"heic", PictureFormat::Heif}, {"heif", PictureFormat::Heif}, {"hif", PictureFormat::Heif},
        {"avif", PictureFormat::Avif}, {"webp", PictureFormat::WebP}, {"jxl", PictureFormat::Jxl},
    };
    for (const Entry& entry : table)
        if (e == entry.ext)
            return entry.format;
    return isRawExtension(e) ? PictureFormat::Raw : PictureFormat::Unknown;
}

PictureFormat detectFormat(const uint8_t* d, size_t n, std::string_view extension) {
    // Most RAW files are TIFF structures (some with a JPEG preview first):
    // their extension says they are for the RAW reader.
    const bool rawName = isRawExtension(extension);
    if (rawName && (startsWith(d, n, "II*\0", 4) || startsWith(d, n, "MM\0*", 4) ||
                    startsWith(d, n, "IIRO", 4) || startsWith(d, n, "IIRS", 4) ||
                    startsWith(d, n, "IIU\0", 4) || startsWith(d, n, "FUJIFILMCCD-RAW", 15) ||
                    isoBrandFormat(d, n) == PictureFormat::Raw))
        return PictureFormat::Raw;
    if (startsWith(d, n, "\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (const PictureFormat iso = isoBrandFormat(d, n); iso != PictureFormat::Unknown)
        return iso;
    if (n >= 12 && startsWith(d, n, "RIFF", 4) && std::memcmp(d + 8, "WEBP", 4) == 0)
        return PictureFormat::WebP;
    if (startsWith(d, n, "\xFF\x0A", 2) ||
        startsWith(d, n, "\0\0\0\x0CJXL \x0D\x0A\x87\x0A", 12))
        return PictureFormat::Jxl;
    if (startsWith(d, n, "\x89PNG\r\n\x1A\n", 8))
        return PictureFormat::Png;
    if (startsWith(d, n, "GIF87a", 6) || startsWith(d, n, "GIF89a", 6))
        return PictureFormat::Gif;
    // BigTIFF ("+" for "*") is how scans beyond 4 GB are written.
    if (startsWith(d, n, "II*\0", 4) || startsWith(d, n, "MM\0*", 4) ||
        startsWith(d, n, "II+\0", 4) || startsWith(d, n, "MM\0+", 4))
        return PictureFormat::Tiff;
    if (startsWith(d, n, "8BPS", 4))
        return PictureFormat::Psd;
    if (startsWith(d, n, "BM", 2) && n >= 26)
        return PictureFormat::Bmp;
    if (startsWith(d, n, "FORM", 4) && n >= 12 &&
        (std::memcmp(d + 8, "ILBM", 4) == 0 || std::memcmp(d + 8, "PBM ", 4) == 0))
        return PictureFormat::Iff;
    if (n >= 44 && le32(d) == 1 && std::memcmp(d + 40, " EMF", 4) == 0)
        return PictureFormat::Emf;
    if (startsWith(d, n, "\xB1\x68\xDE\x3A", 4))
        return PictureFormat::Dcx;
    if (startsWith(d, n, "\x59\xA6\x6A\x95", 4))
        return PictureFormat::Ras;
    if (startsWith(d, n, "\x01\xDA", 2) && n >= 512)
        return PictureFormat::Sgi;
    if (n >= 0x800 + 7 && std::memcmp(d + 0x800, "PCD_IPI", 7) == 0)
        return PictureFormat::Pcd;
    if (n >= 6 && le16(d) == 0 && (le16(d + 2) == 1 || le16(d + 2) == 2) && le16(d + 4) > 0) {
        // Icons and cursors share the layout; the extension settles which.
        const PictureFormat byExt = formatFromExtension(extension);
        if (byExt == PictureFormat::Ico || byExt == PictureFormat::Cur)
            return byExt;
        return le16(d + 2) == 1 ? PictureFormat::Ico : PictureFormat::Cur;
    }
    if (looksLikeWmf(d, n))
        return PictureFormat::Wmf;

    // Formats without a signature: trust the extension when the header fits.
    switch (formatFromExtension(extension)) {
    case PictureFormat::Jpeg:
        // Start of image followed by junk before the first marker.
        return startsWith(d, n, "\xFF\xD8", 2) ? PictureFormat::Jpeg : PictureFormat::Unknown;
    case PictureFormat::Pcx:
        return looksLikePcx(d, n) ? PictureFormat::Pcx : PictureFormat::Unknown;
    case PictureFormat::Pict:
        return looksLikePict(d, n) ? PictureFormat::Pict : PictureFormat::Unknown;
    case PictureFormat::Tga:
        return looksLikeTga(d, n) ? PictureFormat::Tga : PictureFormat::Unknown;
    case PictureFormat::Iff:
        // An IFF that is not ILBM/PBM (a Maya image, say): refuse it cleanly.
        return PictureFormat::Unknown;
    default:
        break;
    }
    if (looksLikePcx(d, n))
        return PictureFormat::Pcx;
    if (looksLikePict(d, n))
        return PictureFormat::Pict;
    return PictureFormat::Unknown;
}

} // namespace kamelo::imaging
