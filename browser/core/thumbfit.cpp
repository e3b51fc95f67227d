#include "thumbfit.h"

#include "imaging/core/fitsize.h"

#include <algorithm>
#include <cctype>
#include <ctime>

namespace kamelo {

ThumbPlacement ThumbFit::place(int pictureWidth, int pictureHeight, int cellWidth, int cellHeight,
                               int border) {
    ThumbPlacement p;
    const int64_t boxW = cellWidth - 2 * border;
    const int64_t boxH = cellHeight - 2 * border - kLabelHeight;
    if (pictureWidth <= 0 || pictureHeight <= 0 || boxW <= 0 || boxH <= 0)
        return p;
    const FitSize fit = fitSize(pictureWidth, pictureHeight, int(boxW), int(boxH));
    p.width = fit.width;
    p.height = fit.height;
    // A sliver of a picture still shows as one pixel.
    p.width = std::max(p.width, 1);
    p.height = std::max(p.height, 1);
    p.x = (cellWidth - p.width) / 2;
    p.y = (cellHeight - kLabelHeight - p.height) / 2;
    return p;
}

ThumbPlacement ThumbFit::fitInside(int pw, int ph, int boxW, int boxH) {
    ThumbPlacement p;
    if (pw <= 0 || ph <= 0 || boxW <= 0 || boxH <= 0)
        return p;
    if (pw > boxW || ph > boxH) {
        const FitSize fit = fitSize(pw, ph, boxW, boxH);
        p.width = fit.width;
        p.height = fit.height;
        p.width = std::max(p.width, 1);
        p.height = std::max(p.height, 1);
    } else {
        p.width = pw;
        p.height = ph;
    }
    p.x = std::max(0, (boxW - p.width) / 2);
    p.y = std::max(0, (boxH - p.height) / 2);
    return p;
}

CellRect ThumbFit::iconRect(int cellWidth, int cellHeight) {
    const int x = (cellWidth - 32) / 2, y = (cellHeight - 32) / 2;
    return {x, y, x + 32, y + 32};
}

bool ThumbFit::captureTime(const std::string& text, int32_t& seconds) {
    static const char pattern[] = "dddd:dd:dd dd:dd:dd";
    if (text.size() != sizeof(pattern) - 1)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return false;
    }
    auto num = [&](size_t at, size_t n) { return std::stoi(text.substr(at, n)); };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(5, 2) - 1;
    tm.tm_mday = num(8, 2);
    tm.tm_hour = num(11, 2);
    tm.tm_min = num(14, 2);
    tm.tm_sec = num(17, 2);
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 ||
        tm.tm_min > 59 || tm.tm_sec > 59)
        return false;
    const std::tm asked = tm;
    const time_t t = std::mktime(&tm);
    // mktime moves 31 February on to March: such a date is not valid.
    if (t == time_t(-1) || tm.tm_mday != asked.tm_mday || tm.tm_mon != asked.tm_mon || t < 0 ||
        t > INT32_MAX)
        return false;
    seconds = static_cast<int32_t>(t);
    return true;
}

} // namespace kamelo
