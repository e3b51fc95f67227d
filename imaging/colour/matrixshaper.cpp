#include "matrixshaper.h"

#include <QtGlobal>
#include <lcms2.h>

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cmath>

namespace kamelo::imaging::colour {

namespace {

// Whether lcms2 would convert through the matrix and curves (a profile may
// carry lookup tables that take precedence).
bool plainMatrixShaper(cmsHPROFILE p, int intent, int direction) {
    return cmsGetColorSpace(p) == cmsSigRgbData && cmsIsMatrixShaper(p) &&
           !cmsIsCLUT(p, cmsUInt32Number(intent), cmsUInt32Number(direction));
}

bool colorants(cmsHPROFILE p, double m[3][3]) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(p, tags[c]));
        if (!xyz)
            return false;
        m[0][c] = xyz->X;
        m[1][c] = xyz->Y;
        m[2][c] = xyz->Z;
    }
    return true;
}

bool invert(const double a[3][3], double r[3][3]) {
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (!std::isfinite(det) || std::abs(det) < 1e-9)
        return false;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
            r[i][j] = (a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1]) / det;
        }
    return true;
}

const cmsTagSignature kTrcs[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

constexpr float kTop = float(MatrixShaper::kOutSteps - 1);

// Out-of-gamut values are common and unpredictable, so clamping is done
// without branches.
template <int Bpp, int R, int G, int B> void convert(const MatrixShaper& s, uint8_t* p, int width) {
    const float(*cr)[4] = s.contribution[0];
    const float(*cg)[4] = s.contribution[1];
    const float(*cb)[4] = s.contribution[2];
    const uint8_t *outR = s.out[0], *outG = s.out[1], *outB = s.out[2];
#ifdef __SSE2__
    const __m128 zero = _mm_setzero_ps(), top = _mm_set1_ps(kTop);
    for (int x = 0; x < width; ++x, p += Bpp) {
        __m128 v = _mm_add_ps(_mm_add_ps(_mm_load_ps(cr[p[R]]), _mm_load_ps(cg[p[G]])),
                              _mm_load_ps(cb[p[B]]));
        const __m128i i = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(v, zero), top));
        p[R] = outR[_mm_cvtsi128_si32(i)];
        p[G] = outG[_mm_extract_epi16(i, 2)];
        p[B] = outB[_mm_extract_epi16(i, 4)];
    }
#else
    for (int x = 0; x < width; ++x, p += Bpp) {
        const float* r = cr[p[R]];
        const float* g = cg[p[G]];
        const float* b = cb[p[B]];
        int i[3];
        for (int c = 0; c < 3; ++c)
            i[c] = int(std::fmin(std::fmax(r[c] + g[c] + b[c], 0.0f), kTop) + 0.5f);
        p[R] = outR[i[0]];
        p[G] = outG[i[1]];
        p[B] = outB[i[2]];
    }
#endif
}

} // namespace

std::unique_ptr<MatrixShaper> MatrixShaper::make(void* fromHandle, void* toHandle, int intent) {
    auto* from = static_cast<cmsHPROFILE>(fromHandle);
    auto* to = static_cast<cmsHPROFILE>(toHandle);
    if (!plainMatrixShaper(from, intent, LCMS_USED_AS_INPUT) ||
        !plainMatrixShaper(to, intent, LCMS_USED_AS_OUTPUT))
        return nullptr;
    double src[3][3], dst[3][3], inverse[3][3];
    if (!colorants(from, src) || !colorants(to, dst) || !invert(dst, inverse))
        return nullptr;
    double matrix[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            matrix[i][j] = 0;
            for (int k = 0; k < 3; ++k)
                matrix[i][j] += inverse[i][k] * src[k][j];
        }
    auto s = std::make_unique<MatrixShaper>();
    for (int c = 0; c < 3; ++c) {
        const auto* trc = static_cast<const cmsToneCurve*>(cmsReadTag(from, kTrcs[c]));
        if (!trc)
            return nullptr;
        for (int v = 0; v < 256; ++v) {
            const double linear = cmsEvalToneCurveFloat(trc, float(v) / 255.0f);
            for (int out = 0; out < 3; ++out)
                s->contribution[c][v][out] = float(matrix[out][c] * linear * kTop);
            s->contribution[c][v][3] = 0;
        }
    }
    // Each output level k covers the linear values from the curve's value
    // at k - 0.5 to that at k + 0.5: 256 evaluations give the exact rounded
    // inverse, where evaluating an inverse curve 65536 times takes
    // milliseconds.
    const cmsToneCurve* curves[3];
    int tableOf[3];
    int tableCount = 0;
    for (int c = 0; c < 3; ++c) {
        curves[c] = static_cast<const cmsToneCurve*>(cmsReadTag(to, kTrcs[c]));
        if (!curves[c])
            return nullptr;
        tableOf[c] = c > 0 && curves[c] == curves[c - 1] ? tableOf[c - 1] : tableCount++;
    }
    s->tables.resize(size_t(tableCount) * kOutSteps);
    for (int c = 0; c < 3; ++c) {
        uint8_t* table = s->tables.data() + size_t(tableOf[c]) * kOutSteps;
        s->out[c] = table;
        if (c > 0 && tableOf[c] == tableOf[c - 1])
            continue;
        double bound[256]; // bound[k]: the first step shown as level k
        bound[0] = 0;
        for (int k = 1; k < 256; ++k) {
            bound[k] = cmsEvalToneCurveFloat(curves[c], float((k - 0.5) / 255.0)) * double(kTop);
            if (!(bound[k] >= bound[k - 1]))
                return nullptr; // not rising: lcms2 knows better
        }
        int k = 0;
        for (int i = 0; i < kOutSteps; ++i) {
            while (k < 255 && double(i) >= bound[k + 1])
                ++k;
            table[i] = uint8_t(k);
        }
    }
    return s;
}

void MatrixShaper::run(int layout, uint8_t* firstRow, int width, int rows, ptrdiff_t stride) const {
    forEachRow(layout, firstRow, width, rows, stride,
               [this](auto bytes, auto r, auto g, auto b, uint8_t* row, int w) {
                   convert<decltype(bytes)::value, decltype(r)::value, decltype(g)::value,
                           decltype(b)::value>(*this, row, w);
               });
}

} // namespace kamelo::imaging::colour
