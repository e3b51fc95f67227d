#include "exifpatch.h"

#include "exiftiff.h"
#include "jpeglayout.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kamelo::imaging {

namespace {

constexpr size_t kMaxSegment = 65535 + 2; // marker, length and payload
constexpr char kExifName[] = "Exif\0";    // and one more NUL
constexpr char kXmpName[] = "http://ns.adobe.com/xap/1.0/";

constexpr uint16_t kImageWidth = 0x0100;
constexpr uint16_t kImageLength = 0x0101;
constexpr uint16_t kOrientation = 0x0112;
constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kThumbnailOffset = 0x0201;
constexpr uint16_t kThumbnailLength = 0x0202;
constexpr uint16_t kPixelX = 0xA002;
constexpr uint16_t kPixelY = 0xA003;

// The thumbnail of IFD1 replaced by its turned form, placed where the old
// one was when it fits there, else after everything else in the block; the
// link to IFD1 is cut when it cannot be turned or placed.
void replaceThumbnail(ExifTiff& tiff, std::vector<uint8_t>& block,
                      const ExifPatch::ThumbnailTurn& turn, size_t room) {
    const size_t link = tiff.nextLink(tiff.get32(4));
    const size_t ifd1 = link ? tiff.get32(link) : 0;
    const size_t offsetEntry = ifd1 ? tiff.entry(ifd1, kThumbnailOffset) : 0;
    const size_t lengthEntry = ifd1 ? tiff.entry(ifd1, kThumbnailLength) : 0;
    if (!offsetEntry || !lengthEntry)
        return;
    const size_t at = tiff.get32(offsetEntry + 8);
    const size_t length = tiff.get32(lengthEntry + 8);
    if (length == 0 || !tiff.fits(at, length))
        return;
    const std::vector<uint8_t> old(block.begin() + long(at), block.begin() + long(at + length));
    std::vector<uint8_t> turned;
    if (!turn(old, turned) || turned.empty()) {
        tiff.put32(link, 0);
        return;
    }
    if (turned.size() <= length) {
        std::memcpy(block.data() + at, turned.data(), turned.size());
        std::memset(block.data() + at + turned.size(), 0, length - turned.size());
        tiff.put32(lengthEntry + 8, uint32_t(turned.size()));
        return;
    }
    const size_t end = (block.size() + 1) & ~size_t(1);
    if (end + turned.size() > room) {
        tiff.put32(link, 0);
        return;
    }
    block.resize(end, 0);
    block.insert(block.end(), turned.begin(), turned.end());
    tiff.put32(offsetEntry + 8, uint32_t(end));
    tiff.put32(lengthEntry + 8, uint32_t(turned.size()));
}

// Replaces the first value of a text attribute or element of the XMP
// packet by a number, when the packet's padding can take the change of
// length.
void patchXmpNumber(std::string& packet, const std::string& name, int value) {
    const std::string text = std::to_string(value);
    for (const std::string& open : {name + "=\"", name + ">"}) {
        const size_t at = packet.find(open);
        if (at == std::string::npos)
            continue;
        const size_t from = at + open.size();
        const size_t to = packet.find_first_not_of("0123456789", from);
        if (to == std::string::npos || to == from)
            return;
        const long grow = long(text.size()) - long(to - from);
        const size_t tail = packet.rfind("<?xpacket end");
        if (grow > 0) {
            // Padding blanks before the packet's end give the room.
            if (tail == std::string::npos || tail < size_t(grow) ||
                packet.find_first_not_of(" \n\r\t", tail - size_t(grow)) != tail)
                return;
            packet.erase(tail - size_t(grow), size_t(grow));
        } else if (grow < 0) {
            if (tail == std::string::npos)
                return;
            packet.insert(tail, size_t(-grow), ' ');
        }
        packet.replace(from, to - from, text);
        return;
    }
}

} // namespace

bool ExifPatch::apply(std::vector<uint8_t>& jpeg) const {
    JpegLayout layout;
    if (!layout.read({jpeg.data(), jpeg.size()}))
        return false;
    const ByteView view{jpeg.data(), jpeg.size()};
    // Later segments move when one changes size: work from the last.
    bool patched = false;
    const auto& segments = layout.segments();
    for (auto s = segments.rbegin(); s != segments.rend(); ++s) {
        if (s->marker != 0xE1)
            continue;
        const size_t payload = s->offset + 4;
        if (JpegLayout::named(view, *s, kXmpName, sizeof kXmpName)) {
            const size_t head = sizeof kXmpName;
            std::string packet(jpeg.begin() + long(payload + head),
                               jpeg.begin() + long(s->offset + s->size));
            const size_t before = packet.size();
            if (orientation)
                patchXmpNumber(packet, "tiff:Orientation", *orientation);
            if (width > 0 && height > 0) {
                patchXmpNumber(packet, "exif:PixelXDimension", width);
                patchXmpNumber(packet, "exif:PixelYDimension", height);
            }
            if (packet.size() == before)
                std::memcpy(jpeg.data() + payload + head, packet.data(), packet.size());
            continue;
        }
        if (!JpegLayout::named(view, *s, kExifName, 6) || patched)
            continue;
        // Only the first EXIF block counts, as readers take it.
        const bool first = std::none_of(segments.begin(), s.base() - 1, [&](const auto& o) {
            return o.marker == 0xE1 && JpegLayout::named(view, o, kExifName, 6);
        });
        if (!first)
            continue;
        std::vector<uint8_t> block(jpeg.begin() + long(payload + 6),
                                   jpeg.begin() + long(s->offset + s->size));
        ExifTiff tiff(block);
        if (!tiff.open())
            return false;
        const size_t ifd0 = tiff.get32(4);
        if (!tiff.fits(ifd0, 2))
            return false;
        if (orientation)
            tiff.setNumber(ifd0, kOrientation, uint32_t(*orientation));
        const bool sized = width > 0 && height > 0;
        if (sized) {
            tiff.setNumber(ifd0, kImageWidth, uint32_t(width));
            tiff.setNumber(ifd0, kImageLength, uint32_t(height));
        }
        const size_t exifIfd = tiff.number(ifd0, kExifPointer);
        if (sized && exifIfd && tiff.fits(exifIfd, 2)) {
            tiff.setNumber(exifIfd, kPixelX, uint32_t(width));
            tiff.setNumber(exifIfd, kPixelY, uint32_t(height));
        }
        if (thumbnail)
            replaceThumbnail(tiff, block, thumbnail, kMaxSegment - 10);
        const size_t segmentSize = block.size() + 10;
        std::vector<uint8_t> segment(jpeg.begin() + long(s->offset),
                                     jpeg.begin() + long(payload + 6));
        segment[2] = uint8_t((segmentSize - 2) >> 8);
        segment[3] = uint8_t(segmentSize - 2);
        segment.insert(segment.end(), block.begin(), block.end());
        if (segment.size() == s->size)
            std::memcpy(jpeg.data() + s->offset, segment.data(), segment.size());
        else
            jpeg.insert(jpeg.erase(jpeg.begin() + long(s->offset),
                                   jpeg.begin() + long(s->offset + s->size)),
                        segment.begin(), segment.end());
        patched = true;
    }
    return patched;
}

} // namespace kamelo::imaging
