#pragma once

#include <ctime>
#include <string>

namespace kamelo::acquire {

// The "날짜" column of the files page: "YYYY-MM-DD 오전|오후 HH:MM" on a
// 12-hour clock where both noon and midnight show as 00.
std::string dateColumnText(int year, int month, int day, int hour, int minute);
// The same for a last write time, in local time.
std::string dateColumnText(std::time_t when);

} // namespace kamelo::acquire
