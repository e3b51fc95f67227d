#pragma once

#include <string>

namespace kamelo::acquire {

// The group name and sub-folder name become parts of file and folder
// names: the characters \ / : * ? " < > | are refused in them.
bool isRefusedNameChar(char32_t c);
// text without the refused characters (UTF-8 in and out).
std::string withoutRefusedChars(const std::string& text);
bool hasRefusedChars(const std::string& text);

} // namespace kamelo::acquire
