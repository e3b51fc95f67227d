#include "stringtable.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <vector>

namespace kamelo::res {

namespace {

const StringEntry kEntries[] = {
#define KAMELO_STRING(id, symbol, text) {id, #symbol, text},
#include "resources/strings.def"
#undef KAMELO_STRING
};

// Sorted once so lookups are binary searches whatever order the table is in.
const std::vector<StringEntry>& sorted() {
    static const std::vector<StringEntry> entries = [] {
        std::vector<StringEntry> v(std::begin(kEntries), std::end(kEntries));
        std::sort(v.begin(), v.end(),
                  [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
        return v;
    }();
    return entries;
}

const StringEntry* find(int id) {
    const auto& v = sorted();
    auto it = std::lower_bound(v.begin(), v.end(), id,
                               [](const StringEntry& e, int key) { return e.id < key; });
    return it != v.end() && it->id == id ? &*it : nullptr;
}

} // namespace

std::string_view text(int id) {
    const StringEntry* e = find(id);
    return e ? std::string_view(e->text) : std::string_view();
}

bool contains(int id) {
    return find(id) != nullptr;
}

std::size_t count() {
    return sorted().size();
}

std::string format(int id, ...) {
    const StringEntry* e = find(id);
    if (!e)
        return {};
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, e->text, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), e->text, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

const StringEntry* begin() {
    return sorted().data();
}
const StringEntry* end() {
    return sorted().data() + sorted().size();
}

} // namespace kamelo::res
