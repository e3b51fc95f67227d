#pragma once

#include <string>
#include <vector>

namespace kamelo::frames {

// A skin as the frame list shows it.
struct SkinEntry {
    std::string caption; // "CAPTION" of section "GENERAL", UTF-8
    std::string iniPath;
};

// The listed skins of a folder: every "*.ini" (extension in any case) that
// has a caption, in name order so that a stored list index keeps meaning the
// same skin. An empty result with noIni set means the folder has no INI at all.
std::vector<SkinEntry> listSkins(const std::string& folder, bool* noIni = nullptr);

} // namespace kamelo::frames
