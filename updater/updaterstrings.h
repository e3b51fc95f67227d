#pragma once

#include <initializer_list>
#include <string>
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

// The text with each "%s" replaced by the next argument, in order.
std::string formatText(Str id, std::initializer_list<std::string_view> args);

} // namespace vela
