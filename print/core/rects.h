#pragma once

namespace kamelo {

// A rectangle in hundredths of a millimetre; right and bottom are exclusive.
struct MmRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    double width() const { return right - left; }
    double height() const { return bottom - top; }
};

// A rectangle in device pixels; right and bottom are exclusive.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool operator==(const PixelRect&) const = default;
};

// Whole source pixels kept from a picture.
struct SourceRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const SourceRect&) const = default;
};

} // namespace kamelo
