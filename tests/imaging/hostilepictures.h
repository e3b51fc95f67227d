#pragma once

// Small writers of hostile pictures: headers that declare far more than
// their files hold, and cut files.
#include <cstdint>
#include <string>
#include <vector>

namespace kamelo::test {

using Bytes = std::vector<uint8_t>;

// A GIF of `frames` 1 x 1 frames on a screenW x screenH screen (about 23
// bytes per frame).
Bytes gifOnScreen(int screenW, int screenH, int frames);
// A small JPEG (grey noise, 16 x 16 unless given) whose frame header is then
// made to declare width x height.
Bytes jpegDeclaring(int width, int height, bool progressive, int realW = 16, int realH = 16);
// A JPEG of noise whose entropy data is cut to keepPercent and then closed
// with an end-of-image marker.
Bytes jpegCutBeforeEoi(int width, int height, bool progressive, int keepPercent);
// An EMF header whose bounds are width x height device pixels.
Bytes emfWithBounds(int32_t right, int32_t bottom);
// An SGI header declaring `channels` planes of 1 x 1.
Bytes sgiWithChannels(int channels);

void writeBytes(const std::string& path, const Bytes& bytes);

} // namespace kamelo::test
