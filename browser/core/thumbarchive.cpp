#include "thumbarchive.h"

#include "bytewriter.h"
#include "imaging/core/filebytes.h"

#include <cstring>

namespace kamelo {

namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassReference = 0x8001; // the first (and only) class of the archive
constexpr uint16_t kSchema = 1;
constexpr char kClassName[] = "CThumbData";

void writeString(ByteWriter& w, const std::string& s) {
    const size_t n = s.size();
    if (n < 0xFF) {
        w.u8(static_cast<uint8_t>(n));
    } else {
        w.u8(0xFF);
        if (n < 0xFFFE) {
            w.u16(static_cast<uint16_t>(n));
        } else {
            w.u16(0xFFFF);
            w.u32(static_cast<uint32_t>(n));
        }
    }
    w.raw(s.data(), n);
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reads a length prefix; sets wide when the 16-bit text marker precedes it.
bool readLength(ByteReader& r, uint32_t& length, bool& wide) {
    wide = false;
    for (int markers = 0; markers < 2; ++markers) {
        const uint8_t b = r.u8();
        if (b < 0xFF) {
            length = b;
            return r.ok();
        }
        const uint16_t w = r.u16();
        if (w == 0xFFFE) {
            if (wide)
                return false; // one marker only
            wide = true;
            continue;
        }
        length = w < 0xFFFF ? w : r.u32();
        return r.ok();
    }
    return false;
}

bool readString(ByteReader& r, std::string& s) {
    uint32_t length = 0;
    bool wide = false;
    if (!readLength(r, length, wide))
        return false;
    if (!wide) {
        const uint8_t* p = r.span(length);
        if (!p)
            return false;
        s.assign(reinterpret_cast<const char*>(p), length);
        return true;
    }
    if (length > r.remaining() / 2)
        return false;
    const uint8_t* p = r.span(size_t(length) * 2);
    s.clear();
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t cp = p[2 * i] | (p[2 * i + 1] << 8);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length) {
            const uint32_t lo = p[2 * i + 2] | (p[2 * i + 3] << 8);
            if (lo >= 0xDC00 && lo < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD; // a lone surrogate
        appendUtf8(s, cp);
    }
    return true;
}

bool readRecord(ByteReader& r, CThumbData& d) {
    if (!readString(r, d.displayName) || !readString(r, d.fullPath))
        return false;
    d.imageIndex = r.i32();
    d.fileSize = r.u32();
    if (!readString(r, d.typeName) || !readString(r, d.pictureInfo))
        return false;
    d.modifiedTime = r.i32();
    d.thumbnailDone = r.i32();
    d.pictureRect.left = r.i32();
    d.pictureRect.top = r.i32();
    d.pictureRect.right = r.i32();
    d.pictureRect.bottom = r.i32();
    d.dateTakenKnown = r.i32();
    d.dateTaken = r.i32();
    d.itemKind = r.i32();
    return r.ok();
}

} // namespace

std::vector<uint8_t> ThumbArchive::write(const std::vector<CThumbData>& records) {
    ByteWriter w;
    const size_t n = records.size();
    if (n < 0xFFFF) {
        w.u16(static_cast<uint16_t>(n));
    } else {
        w.u16(0xFFFF);
        w.u32(static_cast<uint32_t>(n));
    }
    for (size_t i = 0; i < n; ++i) {
        if (i == 0) {
            w.u16(kNewClassTag);
            w.u16(kSchema);
            w.u16(static_cast<uint16_t>(std::strlen(kClassName)));
            w.raw(kClassName, std::strlen(kClassName));
        } else {
            w.u16(kClassReference);
        }
        const CThumbData& d = records[i];
        writeString(w, d.displayName);
        writeString(w, d.fullPath);
        w.i32(d.imageIndex);
        w.u32(d.fileSize);
        writeString(w, d.typeName);
        writeString(w, d.pictureInfo);
        w.i32(d.modifiedTime);
        w.i32(d.thumbnailDone);
        w.i32(d.pictureRect.left);
        w.i32(d.pictureRect.top);
        w.i32(d.pictureRect.right);
        w.i32(d.pictureRect.bottom);
        w.i32(d.dateTakenKnown);
        w.i32(d.dateTaken);
        w.i32(d.itemKind);
    }
    return std::move(w.bytes());
}

bool ThumbArchive::read(const std::vector<uint8_t>& bytes, std::vector<CThumbData>& records) {
    records.clear();
    ByteReader r(bytes.data(), bytes.size());
    uint32_t count = r.u16();
    if (count == 0xFFFF)
        count = r.u32();
    if (!r.ok())
        return false;
    // Each record takes at least 50 bytes (tag, four empty strings, eleven
    // integers): a count beyond that is damage.
    if (count > r.remaining() / 50)
        return false;
    records.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t tag = r.u16();
        if (i == 0) {
            if (tag != kNewClassTag || r.u16() != kSchema)
                return records.clear(), false;
            const uint16_t nameLength = r.u16();
            const uint8_t* name = r.span(nameLength);
            if (!name || nameLength != std::strlen(kClassName) ||
                std::memcmp(name, kClassName, nameLength) != 0)
                return records.clear(), false;
        } else if (tag != kClassReference) {
            return records.clear(), false;
        }
        CThumbData d;
        if (!readRecord(r, d))
            return records.clear(), false;
        records.push_back(std::move(d));
    }
    return true;
}

bool ThumbArchive::writeFile(const std::string& path, const std::vector<CThumbData>& records) {
    const std::vector<uint8_t> bytes = write(records);
    return imaging::writeFileAtomically(path, bytes.data(), bytes.size()) >= 1;
}

bool ThumbArchive::readFile(const std::string& path, std::vector<CThumbData>& records) {
    records.clear();
    std::vector<uint8_t> bytes;
    return imaging::readWholeFile(path, bytes) >= 1 && read(bytes, records);
}

} // namespace kamelo
