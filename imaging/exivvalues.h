#pragma once

#include <exiv2/exiv2.hpp>

#include <cstdint>
#include <memory>
#include <string>

// EXIF values made by the library itself (Value::create). Naming its value
// templates here would compile their type information into the program,
// which then needs the library at start-up instead of on first use.
namespace kamelo::imaging::exivvalue {

using Owned = std::unique_ptr<Exiv2::Value>;

Owned shorts(uint16_t value);
Owned longs(uint32_t value);
Owned rational(int32_t numerator, int32_t denominator);
Owned unsignedRational(uint32_t numerator, uint32_t denominator);
Owned ascii(const std::string& text);
Owned undefined(const uint8_t* bytes, long size);

} // namespace kamelo::imaging::exivvalue
