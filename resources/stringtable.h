#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kamelo::res {

// Every user-visible text of the program, looked up by id. Ids below 100000 are
// the string-table numbers the program has always used; 1PPPNN ids hold the
// texts of one feature area (menus, dialogs, messages) and 2xxxxx ids the
// messages that exist only on this platform.
enum StringId : int {
#define KAMELO_STRING(id, symbol, text) symbol = id,
#include "resources/strings.def"
#undef KAMELO_STRING
};

// The UTF-8 text of an id, or an empty view when the id is unknown.
std::string_view text(int id);
bool contains(int id);
std::size_t count();

// printf-style formatting of a table text ("총 아이템수 : %d개").
std::string format(int id, ...);

struct StringEntry {
    int id;
    const char* symbol;
    const char* text;
};
// All entries in ascending id order.
const StringEntry* begin();
const StringEntry* end();

} // namespace kamelo::res
