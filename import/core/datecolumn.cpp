#include "datecolumn.h"

#include "resources/stringtable.h"

#include <cstdio>

namespace kamelo::acquire {

std::string dateColumnText(int year, int month, int day, int hour, int minute) {
    const std::string half(res::text(hour >= 12 ? res::IDS_ACQUIRE_PM : res::IDS_ACQUIRE_AM));
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d-%02d-%02d %s %02d:%02d", year, month, day, half.c_str(),
                  hour % 12, minute);
    return buf;
}

std::string dateColumnText(std::time_t when) {
    std::tm t{};
    if (!localtime_r(&when, &t))
        return {};
    return dateColumnText(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min);
}

} // namespace kamelo::acquire
