#pragma once

#include "print/core/rects.h"

#include <QImage>

#include <string>

namespace kamelo {

// Where the printed pictures come from. The file reader is the program's;
// tests put slow or failing readers in its place.
class PictureReader {
public:
    virtual ~PictureReader() = default;
    // The picture's upright size in pixels, from its headers.
    virtual bool size(const std::string& path, int& width, int& height) = 0;
    // The source rectangle (upright pixels) of the picture with no more
    // pixels than destWidth x destHeight: JPEGs are decoded reduced when
    // that is enough, larger results scaled down; converted from the
    // picture's colour profile to sRGB, which pages are made in.
    virtual bool read(const std::string& path, const SourceRect& source, int destWidth,
                      int destHeight, QImage& out) = 0;
    // The date taken as the caption shows it, or empty.
    virtual std::string dateTaken(const std::string& path);
};

class FilePictureReader : public PictureReader {
public:
    bool size(const std::string& path, int& width, int& height) override;
    bool read(const std::string& path, const SourceRect& source, int destWidth, int destHeight,
              QImage& out) override;

    // The largest JPEG reduction (8, 4, 2 or 1) that still gives at least
    // destWidth x destHeight pixels from a width x height source.
    static int reductionFor(int width, int height, int destWidth, int destHeight);
};

} // namespace kamelo
