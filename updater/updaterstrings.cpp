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

} // namespace vela
