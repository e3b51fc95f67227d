#pragma once

#include <string_view>

namespace vela {

// The updater's own texts. It links none of the photo program's libraries, so
// it keeps its table here.
enum class Str : int {
#define VELA_STRING(symbol, text) symbol,
#include "updater/strings.def"
#undef VELA_STRING
    Count
};

std::string_view text(Str id);

} // namespace vela
