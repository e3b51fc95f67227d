#include "acquirenaming.h"

#include "acquireformats.h"
#include "browser/core/thumbfit.h"

#include <cstdio>
#include <ctime>

namespace kamelo::acquire {

std::string dayStamp(int year, int month, int day) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d", year, month, day);
    return buf;
}

std::string todayStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return dayStamp(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

std::string dateTakenName(const std::string& exifDate, DateForm form) {
    int32_t seconds = 0;
    if (!ThumbFit::captureTime(exifDate, seconds))
        return {};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(exifDate.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6)
        return {};
    char buf[96];
    std::snprintf(buf, sizeof buf,
                  form == DateForm::Dashes ? "%d-%02d-%02d %02d-%02d-%02d"
                                           : "%d_%02d_%02d %02d_%02d_%02d",
                  y, mo, d, h, mi, s);
    return buf;
}

std::string destinationName(const NamingOptions& options, size_t index,
                            const std::string& sourcePath, const std::string& exifDate) {
    std::string title = fileTitle(sourcePath);
    switch (options.rule) {
    case NameRule::KeepName:
        break;
    case NameRule::GroupName: {
        char number[32];
        std::snprintf(number, sizeof number, "%03zu", index);
        title = options.groupName + " " + number;
        break;
    }
    case NameRule::DateTaken:
        if (std::string date = dateTakenName(exifDate, options.dateForm); !date.empty())
            title = std::move(date);
        break;
    }
    return title + fileExtension(sourcePath);
}

} // namespace kamelo::acquire
