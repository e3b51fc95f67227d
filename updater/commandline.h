#pragma once

#include <string>
#include <vector>

namespace vela {

// Splits a command line at blanks. An argument that begins with a double
// quote runs to the next double quote, without the quotes; inside it a
// backslash escapes a double quote, a backslash, "r" (carriage return) or
// "n" (line feed). An unclosed quote makes the whole list empty.
std::vector<std::string> splitCommandLine(const std::string& line);

// The inverse for one argument: a blank, then the argument in double quotes
// with its double quotes and backslashes escaped.
std::string quotedArgument(const std::string& argument);
// The arguments joined into one command line (each as quotedArgument).
std::string joinArguments(const std::vector<std::string>& arguments);

struct UpdaterArguments {
    bool automatic = false;
    std::string programToRestart;
};

// Of the first two arguments, "/auto" sets automatic mode and the last
// other one becomes the program to restart.
UpdaterArguments parseUpdaterArguments(const std::vector<std::string>& arguments);

// The text between the first "(" and the first ")" after it when the line
// holds both; false otherwise.
bool parenthesisedCommand(const std::string& line, std::string& command);

} // namespace vela
