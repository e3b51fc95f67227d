#pragma once

#include <cstdint>
#include <string>

namespace kamelo {

// The file a picture in memory was read from: its path and the identity the
// file had when the reading began (device, inode, size, modification time).
// Whatever writes the picture over a file, or edits it as that file's
// picture, first asks whether it still is that file's picture.
class PictureSource {
public:
    struct Identity {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = -1;
        int64_t modifiedNs = 0;
        // The identity of the regular file at path now (links followed);
        // unknown() when there is none.
        static Identity of(const std::string& path);
        bool known() const { return size >= 0; }
        bool operator==(const Identity&) const = default;
    };
    enum class Match {
        Same,      // the file at the path is the one the picture came from
        NoSource,  // nothing is known about where the picture came from
        OtherFile, // the picture came from another file
        Changed    // the picture's file was changed, replaced or removed since
    };

    PictureSource() = default;
    PictureSource(std::string path, Identity identity)
        : path_(std::move(path)), identity_(identity) {}
    // The file at path as it is now.
    static PictureSource of(const std::string& path) { return {path, Identity::of(path)}; }

    bool known() const { return !path_.empty() && identity_.known(); }
    const std::string& path() const { return path_; }
    const Identity& identity() const { return identity_; }
    // Whether the picture is the picture of the file at path, as it is now.
    Match matches(const std::string& path) const;

private:
    std::string path_;
    Identity identity_;
};

} // namespace kamelo
