#include "saveplaces.h"

#include <algorithm>

namespace kamelo::acquire {

std::string lastSaveFolderKey(int index) {
    return "Last save folder" + std::to_string(index);
}

std::vector<std::string> destinationList(const std::array<std::string, kSaveFolderCount>& stored,
                                         const std::string& picturesFolder) {
    std::vector<std::string> list;
    auto add = [&list](const std::string& folder) {
        if (!folder.empty() && std::find(list.begin(), list.end(), folder) == list.end())
            list.push_back(folder);
    };
    if (stored[0].empty())
        add(picturesFolder);
    for (const std::string& s : stored)
        add(s);
    return list;
}

std::array<std::string, kSaveFolderCount> foldersToStore(const std::string& chosen,
                                                         const std::vector<std::string>& list) {
    std::array<std::string, kSaveFolderCount> out;
    int n = 0;
    out[n++] = chosen;
    for (const std::string& folder : list) {
        if (n == kSaveFolderCount)
            break;
        if (!folder.empty() && folder != chosen &&
            std::find(out.begin(), out.begin() + n, folder) == out.begin() + n)
            out[n++] = folder;
    }
    return out;
}

} // namespace kamelo::acquire
