#pragma once

#include "bitmap.h"
#include "jpegcodec.h"
#include "imaging/modern/embeddedmetadata.h"
#include "pngwriter.h"

#include <exiv2/exiv2.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kamelo::imaging {

class ExivFile;

// Everything a picture file carries besides its pixels: its EXIF (every
// directory, GPS and interoperability included, the maker's note as Exiv2
// holds it), XMP packet, IPTC record and ICC profile, and for a JPEG its
// chroma subsampling. A picture written from it keeps all of them; what must
// describe the written pixels (pixel size, orientation, the EXIF thumbnail)
// is made again at each write from those pixels.
class MetadataCarrier {
public:
    // Reads path. 1, or an error code with the carrier left empty; a file
    // without metadata gives 1 and an empty carrier.
    int read(const std::string& path);
    // The same from a file opened already.
    void readFrom(const ExivFile& file);

    bool empty() const;
    const Exiv2::ExifData& exif() const { return exif_; }
    const std::string& xmpPacket() const { return xmp_; }
    const Exiv2::IptcData& iptc() const { return iptc_; }
    const std::vector<uint8_t>& iccProfile() const { return icc_; }
    // The source's own sampling when it was a colour JPEG.
    std::optional<jpegcodec::ChromaSampling> jpegSampling() const { return sampling_; }

    // The orientation written (1..8) in place of the source's; a source
    // without one gets the tag only when it is not 1.
    void setOrientation(uint16_t value) { orientation_ = value; }
    // The Software written in place of the source's.
    void setSoftware(const std::string& name) { software_ = name; }
    // An EXIF tag written in place of the source's, by its Exiv2 key
    // ("Exif.Image.Artist"); the value is stored with the given type.
    void setTag(const std::string& key, const Exiv2::Value& value);

    // A JPEG re-encoded from a JPEG keeps its sampling; other sources get
    // samplingForQuality.
    jpegcodec::ChromaSampling samplingFor(int quality) const;

    // The marker segments of a width x height JPEG: EXIF in APP1 (a new
    // thumbnail made from thumbnailFrom, none when it is null), XMP in its
    // own APP1, the ICC profile in APP2 chunks, IPTC in APP13. An EXIF block
    // over one segment first loses its thumbnail, then Exiv2's large tags,
    // then the maker's note. 1, or kTooLarge when the XMP packet does not fit
    // in a segment even written compactly.
    int jpegSegments(int width, int height, const Bitmap* thumbnailFrom,
                     std::vector<jpegcodec::Segment>& out) const;
    // pixels as a JPEG at quality (0..100) and sampling (samplingFor by
    // default), its segments written as it is compressed. 1 or an error code
    // (out is then empty).
    int encodeJpeg(const Bitmap& pixels, int quality, std::vector<uint8_t>& out,
                   std::optional<jpegcodec::ChromaSampling> sampling = std::nullopt) const;
    // The chunks of a PNG of pixels: eXIf, iCCP, XMP in iTXt and IPTC as the
    // raw profile text other programs read.
    int pngMetadata(const Bitmap& pixels, pngwriter::Metadata& out) const;
    // Adds the metadata to a TIFF written from pixels: EXIF and GPS
    // directories, ICC profile, XMP and IPTC. 1 or an error code (tiff is
    // then as it was).
    int embedInTiff(const Bitmap& pixels, std::vector<uint8_t>& tiff) const;
    // What a WebP or AVIF written from pixels embeds: the EXIF block made
    // for their size and orientation (no thumbnail: those formats keep
    // none in it), the XMP packet and the ICC profile. These formats have
    // no place for an IPTC record. 1 or an error code (out is then empty).
    int embeddedMetadata(const Bitmap& pixels, EmbeddedMetadata& out) const;

private:
    enum class Use { Jpeg, Png, Tiff, Embedded };
    // The EXIF as written for a width x height picture of this use.
    Exiv2::ExifData exifFor(int width, int height, Use use) const;
    std::string xmpFor(int width, int height) const;
    // The same with a JPEG source's extended XMP merged in.
    std::string wholeXmpFor(int width, int height) const;
    int exifSegment(int width, int height, const Bitmap* thumbnailFrom,
                    std::vector<uint8_t>& out) const;
    // A JPEG source's sampling, XMP packet and Photoshop resources as stored.
    void readJpegSegments(int fd);
    // Photoshop's resource block with the IPTC record in it.
    std::vector<uint8_t> photoshopResources() const;

    Exiv2::ExifData exif_;
    Exiv2::ByteOrder byteOrder_ = Exiv2::littleEndian;
    std::string xmp_;
    std::vector<std::vector<uint8_t>> extendedXmp_; // a JPEG source's, as stored
    Exiv2::IptcData iptc_;
    std::vector<uint8_t> icc_;
    std::vector<uint8_t> photoshop_; // a JPEG source's APP13 resources
    std::optional<jpegcodec::ChromaSampling> sampling_;
    std::optional<uint16_t> orientation_;
    std::optional<std::string> software_;
    Exiv2::ExifData overrides_;
};

} // namespace kamelo::imaging
