#include "picturesource.h"

#include <sys/stat.h>

namespace kamelo {

PictureSource::Identity PictureSource::Identity::of(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    Identity id;
    id.device = uint64_t(st.st_dev);
    id.inode = uint64_t(st.st_ino);
    id.size = int64_t(st.st_size);
    id.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

PictureSource::Match PictureSource::matches(const std::string& path) const {
    if (!known())
        return Match::NoSource;
    const Identity now = Identity::of(path);
    if (now == identity_)
        return Match::Same;
    // The same name, or the same file under another name, now holding
    // something else: changed since. Any other file is another picture's.
    const bool sameFile =
        now.known() && now.device == identity_.device && now.inode == identity_.inode;
    return path == path_ || sameFile ? Match::Changed : Match::OtherFile;
}

} // namespace kamelo
