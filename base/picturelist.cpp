#include "picturelist.h"

namespace kamelo {

void PictureList::setCurrent(int index) {
    if (index >= 0)
        current_ = index;
}

int PictureList::move(int index, bool really) {
    if (really)
        current_ = index;
    return index;
}

int PictureList::next(bool really) {
    return move(current_ >= count() - 1 ? 0 : current_ + 1, really);
}

int PictureList::previous(bool really) {
    return move(current_ <= 0 ? count() - 1 : current_ - 1, really);
}

int PictureList::first(bool really) {
    return move(0, really);
}

int PictureList::last(bool really) {
    return move(count() - 1, really);
}

std::string PictureList::pathAt(int index) const {
    return index >= 0 && index < count() ? paths_[static_cast<size_t>(index)] : std::string();
}

void PictureList::clear() {
    paths_.clear();
    current_ = 0;
}

int PictureList::append(std::string path) {
    paths_.push_back(std::move(path));
    return count() - 1;
}

void PictureList::removeCurrent() {
    if (current_ < 0 || current_ >= count())
        return;
    paths_.erase(paths_.begin() + current_);
    if (current_ > count() - 1)
        current_ = 0;
}

} // namespace kamelo
