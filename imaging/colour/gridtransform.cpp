#include "gridtransform.h"

#include <QtGlobal>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kamelo::imaging::colour {

namespace {

const cmsTagSignature kTrcs[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

// The curves that take a profile's values to linear light: its own when it
// has them, else sRGB's, which most pictures and displays are near. Owned
// by the caller.
bool linearising(cmsHPROFILE p, cmsToneCurve* curves[3]) {
    for (int c = 0; c < 3; ++c) {
        const auto* own = static_cast<const cmsToneCurve*>(cmsReadTag(p, kTrcs[c]));
        if (own) {
            curves[c] = cmsDupToneCurve(own);
        } else {
            const cmsFloat64Number srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
            curves[c] = cmsBuildParametricToneCurve(nullptr, 4, srgb);
        }
        if (!curves[c])
            return false;
    }
    return true;
}

struct Curves {
    cmsToneCurve* forward[3] = {nullptr, nullptr, nullptr};
    ~Curves() {
        for (cmsToneCurve* c : forward)
            if (c)
                cmsFreeToneCurve(c);
    }
};

// The value a rising curve takes to y, by halving: needed at a few dozen
// points, where lcms2's own reversal builds a whole table.
float inverse(const cmsToneCurve* curve, float y) {
    float low = 0, high = 1;
    for (int i = 0; i < 40; ++i) {
        const float middle = (low + high) / 2;
        (cmsEvalToneCurveFloat(curve, middle) < y ? low : high) = middle;
    }
    return (low + high) / 2;
}

constexpr float kTop = float(GridTransform::kOutSteps - 1);

// The tetrahedron holding a point, by which weights are larger: the index
// steps to its second and third nodes for each of the eight outcomes of
// r >= g, g >= b, r >= b (two cannot happen).
struct Tetrahedron {
    uint32_t first, second;
};
constexpr uint32_t sR = GridTransform::kStrideR, sG = GridTransform::kStrideG,
                   sB = GridTransform::kStrideB;
constexpr Tetrahedron kTetrahedra[8] = {
    {sB, sB + sG}, // b > g > r
    {sB, sB + sG}, // impossible
    {sG, sG + sB}, // g >= b > r
    {sG, sG + sR}, // g > r >= b
    {sB, sB + sR}, // b > r >= g
    {sR, sR + sB}, // r >= b > g
    {sB, sB + sG}, // impossible
    {sR, sR + sG}, // r >= g >= b
};

template <int Bpp, int R, int G, int B>
void convert(const GridTransform& g, uint8_t* p, int width) {
    const GridTransform::Node* nodes = g.nodes.data();
    const uint8_t *outR = g.out[0].data(), *outG = g.out[1].data(), *outB = g.out[2].data();
    for (int x = 0; x < width; ++x, p += Bpp) {
        const uint8_t r = p[R], gr = p[G], b = p[B];
        const GridTransform::Node* c0 = nodes + g.offset[0][r] + g.offset[1][gr] + g.offset[2][b];
        const float fr = g.weight[0][r], fg = g.weight[1][gr], fb = g.weight[2][b];
        const Tetrahedron& t = kTetrahedra[(fr >= fg) << 2 | (fg >= fb) << 1 | (fr >= fb)];
        const float w1 = std::max(fr, std::max(fg, fb)), w3 = std::min(fr, std::min(fg, fb));
        const float w2 = fr + fg + fb - w1 - w3;
        const GridTransform::Node *c1 = c0 + t.first, *c2 = c0 + t.second,
                                  *c3 = c0 + (sR + sG + sB);
#ifdef __SSE2__
        __m128 v = _mm_mul_ps(_mm_load_ps(c0->v), _mm_set1_ps(1 - w1));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(c1->v), _mm_set1_ps(w1 - w2)));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(c2->v), _mm_set1_ps(w2 - w3)));
        v = _mm_add_ps(v, _mm_mul_ps(_mm_load_ps(c3->v), _mm_set1_ps(w3)));
        // Clipped after interpolating: clipping at the nodes would bend
        // colours near the gamut's edge.
        const __m128i i =
            _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(kTop)));
        p[R] = outR[_mm_cvtsi128_si32(i)];
        p[G] = outG[_mm_extract_epi16(i, 2)];
        p[B] = outB[_mm_extract_epi16(i, 4)];
#else
        int i[3];
        for (int c = 0; c < 3; ++c) {
            const float v =
                c0->v[c] * (1 - w1) + c1->v[c] * (w1 - w2) + c2->v[c] * (w2 - w3) + c3->v[c] * w3;
            i[c] = int(std::fmin(std::fmax(v, 0.0f), kTop) + 0.5f);
        }
        p[R] = outR[i[0]];
        p[G] = outG[i[1]];
        p[B] = outB[i[2]];
#endif
    }
}

} // namespace

std::unique_ptr<GridTransform> GridTransform::make(void* from, void* to, int intent) {
    cmsHTRANSFORM t = cmsCreateTransform(
        static_cast<cmsHPROFILE>(from), TYPE_RGB_FLT, static_cast<cmsHPROFILE>(to), TYPE_RGB_FLT,
        cmsUInt32Number(intent), cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE);
    if (!t)
        return nullptr;
    Curves source, destination;
    if (!linearising(static_cast<cmsHPROFILE>(from), source.forward) ||
        !linearising(static_cast<cmsHPROFILE>(to), destination.forward)) {
        cmsDeleteTransform(t);
        return nullptr;
    }
    float nodeInput[3][kNodes];
    for (int c = 0; c < 3; ++c)
        for (int n = 0; n < kNodes; ++n)
            nodeInput[c][n] = inverse(source.forward[c], float(n) / (kNodes - 1));
    auto g = std::make_unique<GridTransform>();
    constexpr int kCount = kNodes * kNodes * kNodes;
    std::vector<float> in(size_t(kCount) * 3), result(size_t(kCount) * 3);
    size_t i = 0;
    for (int r = 0; r < kNodes; ++r)
        for (int gr = 0; gr < kNodes; ++gr)
            for (int b = 0; b < kNodes; ++b) {
                const int at[3] = {r, gr, b};
                for (int c = 0; c < 3; ++c)
                    in[i++] = nodeInput[c][at[c]];
            }
    cmsDoTransform(t, in.data(), result.data(), cmsUInt32Number(kCount));
    cmsDeleteTransform(t);
    g->nodes.resize(size_t(kCount));
    for (size_t k = 0; k < result.size(); ++k) {
        const float v = std::isfinite(result[k]) ? std::clamp(result[k], -1.0f, 2.0f) : 0.0f;
        const float linear = cmsEvalToneCurveFloat(destination.forward[k % 3], v) * kTop;
        g->nodes[k / 3].v[k % 3] = std::isfinite(linear) ? linear : 0.0f;
    }
    for (GridTransform::Node& n : g->nodes)
        n.v[3] = 0;
    // Input levels placed on the grid.
    const uint32_t strides[3] = {kStrideR, kStrideG, kStrideB};
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            float position =
                cmsEvalToneCurveFloat(source.forward[c], float(v) / 255) * (kNodes - 1);
            if (!std::isfinite(position))
                position = 0;
            const int cell = std::clamp(int(position), 0, kNodes - 2);
            g->offset[c][v] = uint32_t(cell) * strides[c];
            g->weight[c][v] = std::clamp(position - float(cell), 0.0f, 1.0f);
        }
    // Output steps back to levels, rounded: level k from the step where
    // k - 0.5 begins.
    for (int c = 0; c < 3; ++c) {
        double bound[256];
        bound[0] = 0;
        for (int k = 1; k < 256; ++k) {
            bound[k] =
                double(cmsEvalToneCurveFloat(destination.forward[c], float((k - 0.5) / 255.0))) *
                kTop;
            if (!(bound[k] >= bound[k - 1]))
                return nullptr; // not rising
        }
        g->out[c].resize(kOutSteps);
        int k = 0;
        for (int s = 0; s < kOutSteps; ++s) {
            while (k < 255 && s >= bound[k + 1])
                ++k;
            g->out[c][size_t(s)] = uint8_t(k);
        }
    }
    return g;
}

void GridTransform::run(int layout, uint8_t* firstRow, int width, int rows,
                        ptrdiff_t stride) const {
    forEachRow(layout, firstRow, width, rows, stride,
               [this](auto bytes, auto r, auto g, auto b, uint8_t* row, int w) {
                   convert<decltype(bytes)::value, decltype(r)::value, decltype(g)::value,
                           decltype(b)::value>(*this, row, w);
               });
}

} // namespace kamelo::imaging::colour
