#include "imaging/large/reducer.h"

#include "imaging/result.h"

#include <algorithm>

namespace kamelo::imaging::large {

int RowReducer::start(int sourceWidth, int sourceHeight, int outWidth, int outHeight, Bitmap& out) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || outWidth <= 0 || outHeight <= 0)
        return result::kInvalidParameter;
    if (outWidth > sourceWidth || outHeight > sourceHeight)
        return result::kTooLarge;
    if (const int rc = out.allocate(outWidth, outHeight); rc != result::kSuccess)
        return rc;
    out_ = &out;
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    outWidth_ = outWidth;
    outHeight_ = outHeight;
    next_ = row_ = rowCount_ = 0;
    nextReport_ = 0;
    stopped_ = false;
    column_.resize(size_t(sourceWidth));
    columns_.assign(size_t(outWidth), 0);
    for (int x = 0; x < sourceWidth; ++x) {
        column_[size_t(x)] = static_cast<int>(int64_t(x) * outWidth / sourceWidth);
        ++columns_[size_t(column_[size_t(x)])];
    }
    sums_.assign(size_t(outWidth) * 3, 0);
    return result::kSuccess;
}

void RowReducer::addRow(int y, const uint8_t* bgr) {
    if (y != next_ || y >= sourceHeight_ || stopped_)
        return;
    if (watch_ && y >= nextReport_) {
        nextReport_ = y + std::max(1, sourceHeight_ / 100);
        stopped_ = !watch_(static_cast<int>(int64_t(y) * 100 / sourceHeight_));
        if (stopped_)
            return;
    }
    const int row = static_cast<int>(int64_t(y) * outHeight_ / sourceHeight_);
    if (row != row_) {
        flush();
        row_ = row;
    }
    uint64_t* sums = sums_.data();
    if (outWidth_ == sourceWidth_) {
        for (int i = 0; i < sourceWidth_ * 3; ++i)
            sums[i] += bgr[i];
    } else {
        const int* column = column_.data();
        for (int x = 0; x < sourceWidth_; ++x, bgr += 3) {
            uint64_t* s = sums + size_t(column[x]) * 3;
            s[0] += bgr[0];
            s[1] += bgr[1];
            s[2] += bgr[2];
        }
    }
    ++rowCount_;
    ++next_;
}

void RowReducer::flush() {
    if (rowCount_ == 0 || !out_)
        return;
    uint8_t* dst = out_->row(row_);
    for (int x = 0; x < outWidth_; ++x) {
        const uint64_t n = uint64_t(columns_[size_t(x)]) * uint64_t(rowCount_);
        for (int c = 0; c < 3; ++c) {
            uint64_t& s = sums_[size_t(x) * 3 + size_t(c)];
            dst[x * 3 + c] = static_cast<uint8_t>(n ? (s + n / 2) / n : 255);
            s = 0;
        }
    }
    rowCount_ = 0;
}

void RowReducer::finish() {
    flush();
    if (watch_ && !stopped_)
        stopped_ = !watch_(100);
}

int startRegion(const Request& request, int width, int height, int levelWidth, int levelHeight,
                RowReducer& reducer, Bitmap& out, Span& xs, Span& ys) {
    xs = scaledSpan(request.region.x, request.region.width, width, levelWidth);
    ys = scaledSpan(request.region.y, request.region.height, height, levelHeight);
    const int rc = reducer.start(xs.last - xs.first, ys.last - ys.first, request.outWidth,
                                 request.outHeight, out);
    reducer.setWatch(request.watch);
    return rc;
}

} // namespace kamelo::imaging::large
