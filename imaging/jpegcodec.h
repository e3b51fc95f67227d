#pragma once

#include "core/filebytes.h"
#include "fileinfo.h"
#include "loadoptions.h"

#include <string>
#include <vector>

namespace kamelo::imaging {

class Bitmap;

// JPEG through libjpeg-turbo: baseline, progressive, grey and CMYK.
namespace jpegcodec {
int readInfo(ByteView bytes, FileInfo& info);
int decode(ByteView bytes, const LoadOptions& options, Bitmap& out);
// The largest denominator (8, 4, 2, else 1) whose decode of a width x height
// picture is still at least shownWidth x shownHeight: the sides come out
// rounded up, as the decoder scales them.
int scaleDenominatorFor(int width, int height, int shownWidth, int shownHeight);
// The size a width x height picture decodes to at 1/denominator.
int scaledSide(int side, int denominator);
// Chroma subsampling, as the luma component's sampling factors with both
// chroma components at 1x1: 1x1 is 4:4:4, 2x1 4:2:2, 2x2 4:2:0, 1x2 4:4:0,
// 4x1 4:1:1.
struct ChromaSampling {
    int h = 2;
    int v = 2;
    bool operator==(const ChromaSampling&) const = default;
};
inline constexpr ChromaSampling k444{1, 1};
inline constexpr ChromaSampling k422{2, 1};
inline constexpr ChromaSampling k420{2, 2};
// What a picture that was no JPEG gets: full chroma from quality 90 up,
// where the loss of 4:2:0 would be the largest left; 4:2:0 below.
ChromaSampling samplingForQuality(int quality);
// Whether libjpeg can write these factors (1..4 each, at most 10 blocks a MCU).
bool writable(ChromaSampling sampling);
// The "h x v" text identify prints for the luma of such a file ("2x2", ...).
std::string samplingText(ChromaSampling sampling);

// The sampling of a colour JPEG's frame header. 1, kUnsupported for a grey
// or unusual layout (chroma not at 1x1, factors libjpeg cannot write),
// kCorruptData when no frame header is found. The file is walked marker by
// marker from its start, reading only the segment headers.
int readSampling(ByteView bytes, ChromaSampling& out);
int readSampling(int fd, ChromaSampling& out);
// A marker segment written after the JFIF header: its marker (JPEG_APP0 + n)
// and its data, at most 65533 bytes.
struct Segment {
    int marker = 0;
    std::vector<uint8_t> data;
};

// readSampling, also collecting the segments with these markers that come
// before the frame header (at most 16 MB in all).
int readSampling(int fd, ChromaSampling& out, const std::vector<int>& markers,
                 std::vector<Segment>& segments);

// quality 0..100 as libjpeg takes it, at samplingForQuality(quality). app1,
// when given, is written as an APP1 segment after the JFIF header (at most
// 65533 bytes: the caller's EXIF block, "Exif\0\0" included).
int encode(const Bitmap& bitmap, int quality, std::vector<uint8_t>& out,
           const std::vector<uint8_t>* app1 = nullptr);
// The same at the given sampling (k420 when libjpeg cannot write it), with
// the segments written in order as the picture is compressed.
int encode(const Bitmap& bitmap, int quality, ChromaSampling sampling,
           const std::vector<Segment>& segments, std::vector<uint8_t>& out);
} // namespace jpegcodec

} // namespace kamelo::imaging
