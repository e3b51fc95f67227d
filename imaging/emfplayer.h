#pragma once

#include "byteorder.h"
#include "core/filebytes.h"

#include <QImage>

#include <cstdint>

namespace kamelo::imaging::emfcodec {

// What the EMF header says about the picture and the reference device.
struct HeaderInfo {
    int32_t left = 0, top = 0, right = -1, bottom = -1;
    int32_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    int32_t deviceW = 0, deviceH = 0, mmW = 0, mmH = 0;
    uint32_t bytes = 0;
};

// Plays the records of an EMF file onto canvas with QPainter, the picture's
// device rectangle at (offsetX, offsetY) mapped onto it at scale. 1 at the
// end-of-file record, or an error code.
int playRecords(ByteView bytes, const HeaderInfo& h, QImage& canvas, double offsetX, double offsetY,
                double scale);

} // namespace kamelo::imaging::emfcodec
