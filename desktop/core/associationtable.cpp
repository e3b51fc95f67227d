#include "associationtable.h"

#include "resources/stringtable.h"

#include <algorithm>
#include <cctype>

namespace kamelo::desktop {

const std::vector<AssociationRow>& AssociationTable::rows() {
    using namespace res;
    static const std::vector<AssociationRow> table = {
        {".jpg", "1", IDS_ASSOC_DESC_JPG, IDS_ASSOC_TYPE_JPG, {"image/jpeg"}},
        {".bmp", "2", IDS_ASSOC_DESC_BMP, IDS_ASSOC_TYPE_BMP, {"image/bmp"}},
        {".png", "3", IDS_ASSOC_DESC_PNG, IDS_ASSOC_TYPE_PNG, {"image/png"}},
        {".pcx",
         "4",
         IDS_ASSOC_DESC_PCX,
         IDS_ASSOC_TYPE_PCX,
         {"image/vnd.zbrush.pcx", "image/x-pcx"}},
        {".iff", "5", IDS_ASSOC_DESC_IFF, IDS_ASSOC_TYPE_IFF, {"image/x-ilbm", "image/x-iff"}},
        {".ras", "6", IDS_ASSOC_DESC_RAS, IDS_ASSOC_TYPE_RAS, {"image/x-cmu-raster"}},
        {".sgi", "7", IDS_ASSOC_DESC_SGI, IDS_ASSOC_TYPE_SGI, {"image/x-sgi"}},
        {".psd",
         "8",
         IDS_ASSOC_DESC_PSD,
         IDS_ASSOC_TYPE_PSD,
         {"image/vnd.adobe.photoshop", "image/x-psd"}},
        {".tif", "9", IDS_ASSOC_DESC_TIF, IDS_ASSOC_TYPE_TIF, {"image/tiff"}},
        {".tga", "10", IDS_ASSOC_DESC_TGA, IDS_ASSOC_TYPE_TGA, {"image/x-tga"}},
        {".pcd", "11", IDS_ASSOC_DESC_PCD, IDS_ASSOC_TYPE_PCD, {"image/x-photo-cd"}},
        {".pct", "12", IDS_ASSOC_DESC_PCT, IDS_ASSOC_TYPE_PCT, {"image/x-pict"}},
        {".gif", "13", IDS_ASSOC_DESC_GIF, IDS_ASSOC_TYPE_GIF, {"image/gif"}},
        {".tiff", "14", IDS_ASSOC_DESC_TIF, IDS_ASSOC_TYPE_TIFF, {"image/tiff"}},
    };
    return table;
}

std::string AssociationTable::typeDescription(const std::string& extension) {
    std::string tail = extension.size() > 3 ? extension.substr(extension.size() - 3) : extension;
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return std::string(res::text(res::IDS_ABOUT_CAPTION)) + " " + tail + " " +
           std::string(res::text(res::IDS_ASSOC_PICTURE_FILE));
}

std::vector<int> AssociationTable::companions(int row) {
    std::vector<int> out{row};
    const auto& t = rows();
    for (int i = 0; i < kRows; ++i)
        if (i != row && t[size_t(i)].mimeTypes.front() == t[size_t(row)].mimeTypes.front())
            out.push_back(i);
    return out;
}

std::vector<std::string> AssociationTable::primaryTypes() {
    std::vector<std::string> out;
    for (const AssociationRow& r : rows())
        if (std::find(out.begin(), out.end(), r.mimeTypes.front()) == out.end())
            out.push_back(r.mimeTypes.front());
    return out;
}

std::vector<std::string> AssociationTable::allTypes() {
    std::vector<std::string> out;
    for (const AssociationRow& r : rows())
        for (const std::string& t : r.mimeTypes)
            if (std::find(out.begin(), out.end(), t) == out.end())
                out.push_back(t);
    return out;
}

const std::vector<std::string>& AssociationTable::newerTypes() {
    static const std::vector<std::string> types = {
        "image/heic",          "image/heif",         "image/avif",          "image/webp",
        "image/jxl",           "image/x-adobe-dng",  "image/x-canon-cr2",   "image/x-canon-cr3",
        "image/x-canon-crw",   "image/x-nikon-nef",  "image/x-nikon-nrw",   "image/x-sony-arw",
        "image/x-sony-srf",    "image/x-sony-sr2",   "image/x-olympus-orf", "image/x-panasonic-rw2",
        "image/x-fuji-raf",    "image/x-pentax-pef", "image/x-kodak-dcr",   "image/x-kodak-kdc",
        "image/x-minolta-mrw", "image/x-sigma-x3f"};
    return types;
}

std::vector<std::string> AssociationTable::entryTypes() {
    std::vector<std::string> out = allTypes();
    for (const std::string& t : newerTypes())
        if (std::find(out.begin(), out.end(), t) == out.end())
            out.push_back(t);
    return out;
}

} // namespace kamelo::desktop
