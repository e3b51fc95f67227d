#pragma once

#include <string>
#include <vector>

namespace kamelo {

// The document's picture file list and the current position in it. The
// navigation operations compute the neighbour with wrap-around and, when
// asked, move there.
class PictureList {
public:
    int count() const { return static_cast<int>(paths_.size()); }
    bool empty() const { return paths_.empty(); }
    int current() const { return current_; }
    // Negative indexes are ignored.
    void setCurrent(int index);

    int next(bool move);     // current + 1, or 0 after the last
    int previous(bool move); // current - 1, or the last before the first
    int first(bool move);
    int last(bool move);

    // Empty when the index is outside the list.
    std::string pathAt(int index) const;
    std::string currentPath() const { return pathAt(current_); }
    const std::vector<std::string>& paths() const { return paths_; }

    void clear();
    // Appends and returns the new entry's position.
    int append(std::string path);
    // Drops the current path; an index left past the end becomes 0.
    void removeCurrent();

private:
    int move(int index, bool really);

    std::vector<std::string> paths_;
    int current_ = 0;
};

} // namespace kamelo
