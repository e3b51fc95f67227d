#pragma once

#include <string>
#include <vector>

namespace kamelo::desktop {

// One of the fourteen picture extensions the program can be the default for.
struct AssociationRow {
    const char* extension; // ".jpg"
    const char* iconIndex; // "1"
    int descriptionId;     // string table: "JPEG 파일"
    int typeNameId;        // string table: "Kamelo.jpg"
    // The MIME type the extension has, then the other names the MIME
    // database knows it by; the defaults are written for each.
    std::vector<std::string> mimeTypes;
};

class AssociationTable {
public:
    static constexpr int kRows = 14;
    static constexpr const char* kDesktopId = "kamelo.desktop";

    static const std::vector<AssociationRow>& rows();
    // "카멜로 JPG 그림 파일": the last three characters of the extension in
    // upper case (".tiff" gives IFF).
    static std::string typeDescription(const std::string& extension);
    // The rows sharing the row's MIME type (.tif and .tiff), the row first.
    static std::vector<int> companions(int row);
    // Each row's MIME type once, in table order.
    static std::vector<std::string> primaryTypes();
    // Every MIME type and alias of the rows once (tools that do not resolve
    // aliases find the entry by either name).
    static std::vector<std::string> allTypes();
    // The newer formats the program opens without offering a row for them:
    // HEIF/HEIC, AVIF, WebP, JPEG XL and the camera RAW types, as
    // shared-mime-info names them.
    static const std::vector<std::string>& newerTypes();
    // The desktop entry's MimeType: allTypes, then newerTypes.
    static std::vector<std::string> entryTypes();
};

} // namespace kamelo::desktop
