#pragma once

#include <array>
#include <string>
#include <vector>

namespace kamelo::acquire {

// The section and value names the wizard keeps its choices under (the
// section's spelling is the one the settings have always had).
inline constexpr const char* kSection = "Aquire Wizard";
inline constexpr const char* kKeyNameRule = "Radio Filename Type";
inline constexpr const char* kKeyDeleteSource = "Delete source";
inline constexpr const char* kKeyAutoRotate = "Auto rotate";
inline constexpr const char* kKeySkipImported = "Skip imported";
inline constexpr int kSaveFolderCount = 3;
// "Last save folder0" .. "Last save folder2".
std::string lastSaveFolderKey(int index);

// The destination list of the options page: the stored folders newest
// first, without blanks and repeats; when the newest is blank the pictures
// folder stands first.
std::vector<std::string> destinationList(const std::array<std::string, kSaveFolderCount>& stored,
                                         const std::string& picturesFolder);
// What is stored when the options page is left forwards: the folder chosen
// now, then the other folders of the list in their order (a repeat of the
// chosen one is left out, so the three entries stay distinct).
std::array<std::string, kSaveFolderCount> foldersToStore(const std::string& chosen,
                                                         const std::vector<std::string>& list);

} // namespace kamelo::acquire
