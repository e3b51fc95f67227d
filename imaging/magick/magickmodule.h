#pragma once

// The plain-C face of the GraphicsMagick module (kamelo-magick.so). The
// library and the seventy libraries it pulls in cost every process about
// 12 ms at start-up, for formats few pictures use, so the programs load it
// on the first picture that needs it. Results are the imaging result codes.

#include <stddef.h>
#include <stdint.h>

extern "C" {

struct KameloMagickSink {
    void* context;
    // The picture's size, whether rows come as RGBA (else BGR) and its
    // resolution in dots per inch (0 when unknown). Returns a result code.
    int (*start)(void* context, int width, int height, int alpha, int xDpi, int yDpi);
    // One row, top-down: width * 3 bytes BGR or width * 4 bytes RGBA.
    void (*row)(void* context, int y, const uint8_t* pixels);
};

// Receives the encoded file.
struct KameloMagickOutput {
    void* context;
    int (*take)(void* context, const uint8_t* data, size_t size);
};

// name: the library's format name; subImage: the picture to read
// (ranged: read only that one). maxPixels bounds what a header may ask for.
typedef int (*KameloMagickPing)(const uint8_t* data, size_t size, const char* name,
                                unsigned subImage, int ranged, int64_t maxPixels, int* width,
                                int* height);
typedef int (*KameloMagickDecode)(const uint8_t* data, size_t size, const char* name,
                                  unsigned subImage, int64_t maxPixels,
                                  const struct KameloMagickSink* sink);
// bgr: packed rows without padding.
typedef int (*KameloMagickEncode)(const uint8_t* bgr, int width, int height, int xDpi, int yDpi,
                                  const char* name, const struct KameloMagickOutput* output);
}
