#include "droprule.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace kamelo {

namespace {
std::string normal(const std::string& p) {
    std::string s = fs::path(p).lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}
} // namespace

DropEffect dropEffect(const std::string& firstSource, const std::string& targetFolder,
                      bool controlHeld) {
    if (firstSource.empty() || targetFolder.empty())
        return DropEffect::None;
    if (controlHeld)
        return DropEffect::Copy;
    const std::string source = normal(firstSource), target = normal(targetFolder);
    if (source == target || normal(fs::path(source).parent_path().string()) == target)
        return DropEffect::None;
    return DropEffect::Move;
}

} // namespace kamelo
