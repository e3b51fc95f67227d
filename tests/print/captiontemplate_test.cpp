#include "print/core/captiontemplate.h"

#include <gtest/gtest.h>

using namespace kamelo;

TEST(CaptionTemplate, OnlyTheFirstMacroIsReplaced) {
    EXPECT_EQ(CaptionTemplate::expand("[파일이름] / [파일이름]", "a.jpg", ""),
              "a.jpg / [파일이름]");
    EXPECT_EQ(CaptionTemplate::expand("[사진찍은날짜][사진찍은날짜]", "a.jpg", "D"),
              "D[사진찍은날짜]");
    EXPECT_EQ(CaptionTemplate::expand("사진", "a.jpg", "D"), "사진");
    EXPECT_EQ(CaptionTemplate::expand("", "a.jpg", "D"), "");
}

TEST(CaptionTemplate, MacrosAreFoundInTheTemplateOnly) {
    // A file name holding the date macro stays as it is.
    EXPECT_EQ(CaptionTemplate::expand("[파일이름]-[사진찍은날짜]", "x[사진찍은날짜].jpg", "D"),
              "x[사진찍은날짜].jpg-D");
    EXPECT_EQ(CaptionTemplate::expand("[사진찍은날짜] [파일이름]", "[파일이름].png", ""),
              " [파일이름].png");
}

TEST(CaptionTemplate, DateFormat) {
    EXPECT_EQ(CaptionTemplate::formatDateTaken("2008:05:30 15:56:01"), "2008년5월30일 15시56분1초");
    EXPECT_EQ(CaptionTemplate::formatDateTaken("    :  :     :  :  "), "");
    EXPECT_EQ(CaptionTemplate::formatDateTaken("0000:00:00 00:00:00"), "");
    EXPECT_EQ(CaptionTemplate::formatDateTaken("2008:02:31 10:00:00"), "");
    EXPECT_EQ(CaptionTemplate::formatDateTaken(""), "");
    EXPECT_EQ(CaptionTemplate::formatDateTaken("2008:05:30 15:56:01 "), "");
}
