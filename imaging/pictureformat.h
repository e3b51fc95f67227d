#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kamelo::imaging {

enum class PictureFormat {
    Unknown,
    Jpeg,
    Bmp,
    Tiff,
    Tga,
    Png,
    Wmf,
    Pcx,
    Pcd,
    Emf,
    Ico,
    Cur,
    Dcx,
    Pict,
    Iff,
    Gif,
    Psd,
    Ras,
    Sgi,
    Heif, // HEIC and other HEIF pictures
    Avif,
    WebP,
    Jxl,
    Raw, // camera RAW files of every maker
};

// Short upper-case name ("JPEG", "PCX", ...).
const char* formatName(PictureFormat format);

// The format an extension names ("jpg", ".JPEG" ...), Unknown when none.
PictureFormat formatFromExtension(std::string_view extension);
// True for the camera RAW extensions ("dng", "CR2", ...; without the dot).
bool isRawExtension(std::string_view extension);
// The extensions of the newer formats (HEIF, AVIF, WebP, JPEG XL and RAW),
// lower case, without the dot.
const std::vector<std::string_view>& modernExtensions();
std::string extensionOf(const std::string& path); // lower case, without the dot

// Picks the decoder: the file's first bytes decide when they carry a
// signature; otherwise the extension, when its format's weaker header check
// passes. A JPEG named .png therefore opens as JPEG.
PictureFormat detectFormat(const uint8_t* data, size_t size, std::string_view extension);

} // namespace kamelo::imaging
