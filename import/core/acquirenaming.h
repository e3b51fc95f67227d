#pragma once

#include <string>

namespace kamelo::acquire {

// How imported files are named: the three rules of the options page.
enum class NameRule { KeepName = 0, GroupName = 1, DateTaken = 2 };
// The two date forms of the date-taken rule.
enum class DateForm { Dashes = 0, Underscores = 1 };

struct NamingOptions {
    NameRule rule = NameRule::KeepName;
    std::string groupName;
    DateForm dateForm = DateForm::Dashes;
};

// A calendar day as "YYYY-MM-DD": the first value of the group name and
// sub-folder fields.
std::string dayStamp(int year, int month, int day);
std::string todayStamp();

// A camera date "YYYY:MM:DD HH:MM:SS" (exactly 19 characters, a real local
// time) in the chosen form; "" for a blank or invalid date.
std::string dateTakenName(const std::string& exifDate, DateForm form);

// The file name (title and the source's own extension) of the index-th
// checked file (from 0). exifDate is only read by the date-taken rule; a
// file without a usable date keeps its source title.
std::string destinationName(const NamingOptions& options, size_t index,
                            const std::string& sourcePath, const std::string& exifDate);

} // namespace kamelo::acquire
