#pragma once

// The help texts of kamelo-cli and kamelo, kept in one table so that the
// usage lines, `--help`, `COMMAND --help`, the manual pages and the shell
// completion can never disagree. Texts are Korean; command and option names
// stay English because scripts type them.
//
// A new command adds one entry to the table in commandhelp.cpp, e.g.
//   {"print", {"print FILE... [--pdf PATH]"}, "그림을 인쇄합니다.", "",
//    {{"--pdf", "PATH", "프린터 대신 PATH 에 PDF 로 씁니다."}}, {}, "file"},
// and prints clihelp::usage("print") on a wrong call. `kamelo-cli print --help`,
// `kamelo-cli --help`, man kamelo-cli and the completion follow by themselves;
// the tests check that every --option of the usage lines is explained.

#include <string>
#include <string_view>
#include <vector>

namespace kamelo::clihelp {

struct Option {
    const char* name;     // "--jobs"
    const char* argument; // "N", or "" for a flag
    const char* text;     // what it does
};

struct Command {
    const char* name;                  // first word after kamelo-cli: "thumbs"
    std::vector<const char*> synopsis; // one usage line each, after "kamelo-cli "
    const char* summary;               // one line
    const char* description;           // paragraphs separated by "\n"; may be ""
    std::vector<Option> options;
    std::vector<const char*> words; // sub-commands completed after the name
    const char* arguments;          // "file", "dir" or "": what the free arguments name
};

// Everything the manual page of one program holds besides its commands.
struct Program {
    const char* name;        // "kamelo-cli"
    const char* summary;     // one line for NAME
    const char* synopsis;    // after the program name
    const char* description; // paragraphs separated by "\n"
    std::vector<Option> options;
    std::vector<std::pair<const char*, const char*>> files;       // path, meaning
    std::vector<std::pair<const char*, const char*>> environment; // variable, meaning
    const char* exitStatus;                                       // paragraphs separated by "\n"
};

// Every command of kamelo-cli, in the order --help lists them.
const std::vector<Command>& commands();
// The command named `name`, or null.
const Command* find(std::string_view name);

const Program& cliProgram();
const Program& photoProgram();

// "사용법: kamelo-cli NAME ...\n" with further synopsis lines indented under
// the first; the text commands print on a wrong call. A name that is no
// command gives the usage lines of the whole tool.
std::string usage(std::string_view name);
// Usage, summary, description and options: `kamelo-cli NAME --help`.
std::string commandHelp(const Command& command);
// The whole tool: `kamelo-cli --help`.
std::string programHelp();

} // namespace kamelo::clihelp
