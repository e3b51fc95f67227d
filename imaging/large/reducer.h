#pragma once

#include "imaging/bitmap.h"
#include "imaging/large/request.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kamelo::imaging::large {

// Shrinks a picture that arrives row by row into a smaller bitmap, holding
// one output row of sums: every source pixel is added to the output pixel
// its position maps to (x * outWidth / sourceWidth, likewise for rows), so
// each output pixel is the average of a box of one or two sizes. Sources of
// any size reach any smaller target without the source ever being whole in
// memory.
class RowReducer {
public:
    // out is allocated outWidth x outHeight; 1 or an error code (kTooLarge
    // when the target is larger than the source).
    int start(int sourceWidth, int sourceHeight, int outWidth, int outHeight, Bitmap& out);
    // Source row y (rows in order, each once) as blue-green-red pixels,
    // sourceWidth of them.
    void addRow(int y, const uint8_t* bgr);
    // Writes the last output row; afterwards every output row is set.
    void finish();
    // Told the share of the rows in so far (percent), about every
    // hundredth of them; returning false stops the decode: addRow takes no
    // more rows and stopped() says so for the reader to end.
    void setWatch(std::function<bool(int percent)> watch) { watch_ = std::move(watch); }
    bool stopped() const { return stopped_; }
    bool done() const { return next_ >= sourceHeight_; }
    // The next source row wanted.
    int nextRow() const { return next_; }

private:
    void flush();

    Bitmap* out_ = nullptr;
    int sourceWidth_ = 0, sourceHeight_ = 0;
    int outWidth_ = 0, outHeight_ = 0;
    int next_ = 0;
    int row_ = 0;                   // output row being summed
    int rowCount_ = 0;              // source rows in it so far
    std::vector<int> column_;       // output column of each source column
    std::vector<uint32_t> columns_; // source columns per output column
    std::vector<uint64_t> sums_;    // blue, green, red per output column
    std::function<bool(int percent)> watch_;
    int nextReport_ = 0;
    bool stopped_ = false;
};

// The request's region in the rows and columns of a levelWidth x
// levelHeight level of a width x height picture, and reducer started on it
// with the request's watch; 1 or the reducer's error.
int startRegion(const Request& request, int width, int height, int levelWidth, int levelHeight,
                RowReducer& reducer, Bitmap& out, Span& xs, Span& ys);

} // namespace kamelo::imaging::large
