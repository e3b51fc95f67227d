#pragma once

#include "imaging/large/request.h"

#include <string>

namespace kamelo::imaging::large {

// A JPEG read from its file as a stream: the library scales by 1/2, 1/4 or
// 1/8 while decoding, crops the columns outside the region and skips the
// rows above it; a RowReducer takes the rest down to the asked size. Only a
// progressive file's coefficients grow with the picture (at most 768 MB;
// larger progressive files are refused with kTooLarge).
int jpegSize(const std::string& path, int& width, int& height);
int decodeJpeg(const std::string& path, const Request& request, Bitmap& out);
// A decoder of a sequential file stays where its region ended (a few at a
// time): a region further down in the same columns carries on from there.
// How many decodes did so far, and letting go of the waiting decoders (a
// large picture closed).
int carriedOnDecodes();
void forgetParkedDecoders();

} // namespace kamelo::imaging::large
