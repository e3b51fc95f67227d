#include "updaterstrings.h"

namespace vela {

namespace {
constexpr const char* kTexts[] = {
#define VELA_STRING(symbol, text) text,
#include "updater/strings.def"
#undef VELA_STRING
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<int>(Str::Count));
} // namespace

std::string_view text(Str id) {
    int i = static_cast<int>(id);
    return i >= 0 && i < static_cast<int>(Str::Count) ? kTexts[i] : std::string_view();
}

std::string formatText(Str id, std::initializer_list<std::string_view> args) {
    std::string_view pattern = text(id);
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
            next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace vela
