#include "exivvalues.h"

namespace kamelo::imaging::exivvalue {

namespace {

Owned read(Exiv2::TypeId type, const Exiv2::byte* bytes, long size, Exiv2::ByteOrder order) {
    Owned v(Exiv2::Value::create(type).release());
    v->read(bytes, size, order);
    return v;
}

} // namespace

Owned shorts(uint16_t value) {
    Exiv2::byte b[2];
    Exiv2::us2Data(b, value, Exiv2::littleEndian);
    return read(Exiv2::unsignedShort, b, sizeof b, Exiv2::littleEndian);
}

Owned longs(uint32_t value) {
    Exiv2::byte b[4];
    Exiv2::ul2Data(b, value, Exiv2::littleEndian);
    return read(Exiv2::unsignedLong, b, sizeof b, Exiv2::littleEndian);
}

Owned rational(int32_t numerator, int32_t denominator) {
    Exiv2::byte b[8];
    Exiv2::r2Data(b, {numerator, denominator}, Exiv2::littleEndian);
    return read(Exiv2::signedRational, b, sizeof b, Exiv2::littleEndian);
}

Owned unsignedRational(uint32_t numerator, uint32_t denominator) {
    Exiv2::byte b[8];
    Exiv2::ur2Data(b, {numerator, denominator}, Exiv2::littleEndian);
    return read(Exiv2::unsignedRational, b, sizeof b, Exiv2::littleEndian);
}

Owned ascii(const std::string& text) {
    Owned v(Exiv2::Value::create(Exiv2::asciiString).release());
    v->read(text);
    return v;
}

Owned undefined(const uint8_t* bytes, long size) {
    return read(Exiv2::undefined, bytes, size, Exiv2::invalidByteOrder);
}

} // namespace kamelo::imaging::exivvalue
