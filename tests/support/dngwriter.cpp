#include "dngwriter.h"

#include <tiffio.h>
#include <turbojpeg.h>

#include <mutex>
#include <vector>

namespace kamelo::test {

namespace {

// Some libtiff releases know the CFA tags only inside EXIF directories: they
// are declared for every directory so the sensor IFD can carry them.
TIFFExtendProc parentExtender = nullptr;

void declareCfaTags(TIFF* tif) {
    static const TIFFFieldInfo cfa[] = {
        {TIFFTAG_CFAREPEATPATTERNDIM, 2, 2, TIFF_SHORT, FIELD_CUSTOM, 1, 0,
         const_cast<char*>("CFARepeatPatternDim")},
        {TIFFTAG_CFAPATTERN, -1, -1, TIFF_BYTE, FIELD_CUSTOM, 1, 1,
         const_cast<char*>("CFAPattern")},
    };
    if (!TIFFFindField(tif, TIFFTAG_CFAREPEATPATTERNDIM, TIFF_ANY) ||
        !TIFFFindField(tif, TIFFTAG_CFAPATTERN, TIFF_ANY))
        TIFFMergeFieldInfo(tif, cfa, 2);
    if (parentExtender)
        parentExtender(tif);
}

std::vector<uint8_t> jpegOf(int width, int height, uint32_t rgb) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = uint8_t(rgb >> 16);
        pixels[i + 1] = uint8_t(rgb >> 8);
        pixels[i + 2] = uint8_t(rgb);
    }
    std::vector<uint8_t> out;
    tjhandle tj = tjInitCompress();
    if (!tj)
        return out;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(tj, pixels.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 95,
                    0) == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

// The camera's tags, in the first directory.
void setCameraTags(TIFF* tif, const DngOptions& o) {
    static const uint8_t version[4] = {1, 4, 0, 0};
    static const uint8_t backward[4] = {1, 1, 0, 0};
    // sRGB primaries to XYZ (D65), inverted: the camera sees sRGB.
    static const float colorMatrix[9] = {3.2406f,  -1.5372f, -0.4986f, -0.9689f, 1.8758f,
                                         0.0415f,  0.0557f,  -0.2040f, 1.0570f};
    static const float neutral[3] = {1.0f, 1.0f, 1.0f};
    TIFFSetField(tif, TIFFTAG_MAKE, o.make.c_str());
    TIFFSetField(tif, TIFFTAG_MODEL, o.model.c_str());
    TIFFSetField(tif, TIFFTAG_ORIENTATION, o.orientation);
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_DNGBACKWARDVERSION, backward);
    const std::string unique = o.make + " " + o.model;
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, unique.c_str());
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, colorMatrix);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21); // D65
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
}

bool writePreview(TIFF* tif, const DngOptions& o) {
    const std::vector<uint8_t> jpeg = jpegOf(o.previewWidth, o.previewHeight, o.previewRgb);
    if (jpeg.empty())
        return false;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, o.previewWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, o.previewHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, o.previewHeight);
    // The whole JPEG stream as the only strip, as cameras store it.
    return TIFFWriteRawStrip(tif, 0, const_cast<uint8_t*>(jpeg.data()), tmsize_t(jpeg.size())) ==
           tmsize_t(jpeg.size());
}

bool writeSensor(TIFF* tif, const DngOptions& o) {
    static const uint16_t repeat[2] = {2, 2};
    static const uint8_t rggb[4] = {0, 1, 1, 2};
    const uint32_t white = o.whiteLevel;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, o.rawWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, o.rawHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CFA);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, o.rawHeight);
    TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, repeat);
    TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, rggb);
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    std::vector<uint16_t> row(size_t(o.rawWidth));
    for (int y = 0; y < o.rawHeight; ++y) {
        for (int x = 0; x < o.rawWidth; ++x)
            row[size_t(x)] = (y % 2 == 0) ? (x % 2 == 0 ? o.red : o.green)
                                          : (x % 2 == 0 ? o.green : o.blue);
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0)
            return false;
    }
    return true;
}

} // namespace

bool writeDng(const std::string& path, const DngOptions& o) {
    static std::once_flag once;
    std::call_once(once, [] { parentExtender = TIFFSetTagExtender(declareCfaTags); });
    const bool preview = o.previewWidth > 0 && o.previewHeight > 0;
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    bool ok = true;
    setCameraTags(tif, o);
    if (preview) {
        uint64_t subIfd[1] = {0};
        TIFFSetField(tif, TIFFTAG_SUBIFD, 1, subIfd);
        ok = writePreview(tif, o) && TIFFWriteDirectory(tif);
    }
    ok = ok && writeSensor(tif, o) && TIFFWriteDirectory(tif);
    TIFFClose(tif);
    return ok;
}

} // namespace kamelo::test
