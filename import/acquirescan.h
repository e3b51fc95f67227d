#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace kamelo::acquire {

// The accepted files of a device: a folder's files first, then each of its
// sub-folders the same way, both in the file manager's name order. Links
// to folders are not followed (a card never needs them and a loop would
// never end).
class AcquireScan {
public:
    struct Result {
        std::vector<std::string> files;
        bool readable = false; // the top folder could be listed
    };
    static Result scan(const std::string& root, const std::atomic<bool>* stop = nullptr);
    // Whether the device holds any accepted file (stops at the first).
    static bool hasAcceptedFile(const std::string& root);
};

} // namespace kamelo::acquire
