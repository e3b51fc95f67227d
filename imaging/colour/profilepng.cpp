#include "profilescan.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kamelo::imaging::colour::scan {

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// How much larger than its compressed form a profile may unpack to: even a
// profile of flat tables does not reach this, a forged stream would.
constexpr size_t kMaxInflation = 1000;
// gAMA's 1/2.2 in units of 1/100000, give or take a writer's rounding.
constexpr uint32_t kSrgbGamma = 45455;
constexpr uint32_t kGammaSlack = 200;

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool isType(const uint8_t* p, const char* type) {
    return std::memcmp(p, type, 4) == 0;
}

// A zlib stream unpacked into out, refused when it would grow past limit.
bool inflateBounded(const uint8_t* data, size_t size, size_t limit, std::vector<uint8_t>& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return false;
    out.clear();
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(std::min<size_t>(size, UINT32_MAX));
    int rc = Z_OK;
    // Each round either fills the buffer's new room or ends the stream; the
    // limit bounds the rounds.
    while (rc == Z_OK) {
        const size_t room = std::min<size_t>(size_t(64) << 10, limit + 1 - out.size());
        if (room == 0)
            break;
        const size_t before = out.size();
        out.resize(before + room);
        z.next_out = out.data() + before;
        z.avail_out = static_cast<uInt>(room);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(before + (room - z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_out != 0)
            break; // the input ended before the stream did
        if (rc == Z_BUF_ERROR)
            rc = Z_OK;
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END || out.size() > limit) {
        out.clear();
        return false;
    }
    return true;
}

// iCCP: a name of 1 to 79 bytes, its terminating zero, the method (0 for
// zlib) and the compressed profile.
bool iccFromChunk(const uint8_t* p, size_t size, std::vector<uint8_t>& icc) {
    const size_t nameEnd = size_t(std::find(p, p + std::min<size_t>(size, 80), 0) - p);
    if (nameEnd == 0 || nameEnd >= std::min<size_t>(size, 80) || nameEnd + 2 > size ||
        p[nameEnd + 1] != 0)
        return false;
    const uint8_t* stream = p + nameEnd + 2;
    const size_t streamSize = size - nameEnd - 2;
    const size_t limit = std::min(IccProfile::kMaxBytes, streamSize * kMaxInflation);
    return inflateBounded(stream, streamSize, limit, icc);
}

bool isSrgbGamma(uint32_t gamma) {
    return gamma + kGammaSlack >= kSrgbGamma && gamma <= kSrgbGamma + kGammaSlack;
}

// sRGB's chromaticities in cHRM's units, as writers store them.
bool isSrgbChromaticities(const IccProfile::Chromaticities& c) {
    const double expected[] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
    const double got[] = {c.whiteX, c.whiteY, c.redX, c.redY, c.greenX, c.greenY, c.blueX, c.blueY};
    for (int i = 0; i < 8; ++i)
        if (std::fabs(expected[i] - got[i]) > 0.0005)
            return false;
    return true;
}

} // namespace

Found png(const uint8_t* data, size_t size) {
    Found found;
    if (!data || size < sizeof(kSignature) || std::memcmp(data, kSignature, 8) != 0)
        return found;
    const uint8_t* iccp = nullptr;
    size_t iccpSize = 0;
    bool srgb = false, haveGamma = false, haveChrm = false, haveCicp = false;
    uint32_t gamma = 0;
    IccProfile::Chromaticities chrm{};
    int cicp[2] = {0, 0};
    bool ended = false;
    size_t at = sizeof(kSignature);
    // Each chunk moves on by at least its 12 bytes of framing.
    while (size - at >= 8) {
        const uint32_t length = be32(data + at);
        const uint8_t* type = data + at + 4;
        if (isType(type, "IDAT") || isType(type, "IEND")) {
            ended = true; // colour chunks come before the pixels
            break;
        }
        if (length > 0x7FFFFFFFu || length > size - at - 8)
            break; // runs past the bytes: a cut head or a damaged file
        const uint8_t* body = data + at + 8;
        if (isType(type, "iCCP") && !iccp) {
            iccp = body;
            iccpSize = length;
        } else if (isType(type, "sRGB") && length >= 1) {
            srgb = true;
        } else if (isType(type, "gAMA") && length == 4) {
            gamma = be32(body);
            haveGamma = gamma != 0;
        } else if (isType(type, "cHRM") && length == 32) {
            double v[8];
            for (int i = 0; i < 8; ++i)
                v[i] = be32(body + 4 * i) / 100000.0;
            chrm = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
            haveChrm = true;
        } else if (isType(type, "cICP") && length == 4) {
            cicp[0] = body[0];
            cicp[1] = body[1];
            haveCicp = true;
        }
        // The CRC is not checked: a damaged chunk is judged by what it says.
        if (size - at - 8 - length < 4)
            break;
        at += 12 + size_t(length);
    }
    found.needMore = !ended;
    // The most exact statement wins: code points, then a profile, then sRGB
    // named, then the primaries and curve.
    if (haveCicp) {
        found.kind = Found::Kind::Cicp;
        found.cicpPrimaries = cicp[0];
        found.cicpTransfer = cicp[1];
        return found;
    }
    if (iccp) {
        if (iccFromChunk(iccp, iccpSize, found.icc))
            found.kind = Found::Kind::Icc;
        return found; // a damaged profile: sRGB
    }
    if (srgb) {
        found.kind = Found::Kind::Srgb;
        return found;
    }
    if (!haveGamma && !haveChrm)
        return found;
    const bool srgbPrimaries = !haveChrm || isSrgbChromaticities(chrm);
    if (srgbPrimaries && (!haveGamma || isSrgbGamma(gamma))) {
        found.kind = Found::Kind::Srgb;
        return found;
    }
    found.kind = Found::Kind::Described;
    found.primaries = haveChrm ? chrm : IccProfile::Chromaticities{0.3127, 0.3290, 0.64, 0.33,
                                                                   0.30,   0.60,   0.15, 0.06};
    if (haveGamma) {
        // gAMA stores the encoding exponent; the curve wants the decoding one.
        found.curve.kind = IccProfile::Curve::Kind::Gamma;
        found.curve.gamma = 100000.0 / gamma;
    } else {
        found.curve.kind = IccProfile::Curve::Kind::Srgb;
    }
    return found;
}

} // namespace kamelo::imaging::colour::scan
