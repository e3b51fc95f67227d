#pragma once

#include <string>

namespace kamelo {

// The caption printed under each picture: the first "[파일이름]" becomes the
// picture's file name and the first "[사진찍은날짜]" its date taken. Both
// macros are looked up in the template itself, so a file name that happens
// to hold the other macro is printed as it is.
class CaptionTemplate {
public:
    static std::string expand(const std::string& templ, const std::string& fileName,
                              const std::string& dateTaken);
    // "YYYY:MM:DD HH:MM:SS" as "2008년5월30일 15시56분1초"; empty when the
    // text is no valid time (blanks, zeros, a date that does not exist).
    static std::string formatDateTaken(const std::string& exifDateTime);
};

} // namespace kamelo
