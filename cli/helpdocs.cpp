#include "helpdocs.h"

#include <algorithm>
#include <cctype>

namespace kamelo::clihelp {

std::string roffEscape(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == '\\')
            s += "\\e";
        else if (c == '-')
            s += "\\-";
        else
            s += c;
    }
    // A line starting with a dot or an apostrophe would be read as a request.
    if (!s.empty() && (s[0] == '.' || s[0] == '\''))
        s.insert(0, "\\&");
    return s;
}

namespace {

std::string upper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void paragraphs(std::string& out, const char* text) {
    std::string_view rest = text;
    bool first = true;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        if (!first)
            out += ".PP\n";
        first = false;
        out += roffEscape(rest.substr(0, end)) + "\n";
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
}

void options(std::string& out, const std::vector<Option>& list) {
    for (const Option& o : list) {
        if (*o.argument)
            out += ".TP\n.BI \"" + roffEscape(o.name) + " \" " + roffEscape(o.argument) + "\n";
        else
            out += ".TP\n.B " + roffEscape(o.name) + "\n";
        out += roffEscape(o.text) + "\n";
    }
}

void pairs(std::string& out, const char* heading,
           const std::vector<std::pair<const char*, const char*>>& list) {
    if (list.empty())
        return;
    out += std::string(".SH ") + heading + "\n";
    for (const auto& [name, meaning] : list)
        out += ".TP\n.I " + roffEscape(name) + "\n" + roffEscape(meaning) + "\n";
}

// Words for compgen -W; none holds a space or a quote.
std::string words(const std::vector<std::string>& list) {
    std::string s;
    for (const std::string& w : list) {
        if (!s.empty())
            s += ' ';
        s += w;
    }
    return s;
}

} // namespace

std::string manPage(const Program& p, bool withCommands, const std::string& version) {
    std::string s;
    s += ".\\\" Written by kamelo-cli-docs from the help texts of kamelo-cli; do not edit.\n";
    s += ".TH " + roffEscape(upper(p.name)) + " 1 \"\" \"Kamelo " + version + "\" \"Kamelo\"\n";
    s += ".SH NAME\n" + roffEscape(p.name) + " \\- " + roffEscape(p.summary) + "\n";
    s += ".SH SYNOPSIS\n.B " + roffEscape(p.name) + "\n" + roffEscape(p.synopsis) + "\n";
    s += ".SH DESCRIPTION\n";
    paragraphs(s, p.description);
    if (withCommands) {
        s += ".SH COMMANDS\n";
        for (const Command& c : commands()) {
            s += ".SS " + roffEscape(c.name) + "\n.nf\n";
            for (const char* line : c.synopsis)
                s += "\\fB" + roffEscape(p.name) + "\\fR " + roffEscape(line) + "\n";
            s += ".fi\n.PP\n" + roffEscape(c.summary) + "\n";
            if (*c.description) {
                s += ".PP\n";
                paragraphs(s, c.description);
            }
            if (!c.options.empty()) {
                s += ".RS\n";
                options(s, c.options);
                s += ".RE\n";
            }
        }
    }
    if (!p.options.empty()) {
        s += ".SH OPTIONS\n";
        options(s, p.options);
    }
    pairs(s, "FILES", p.files);
    pairs(s, "ENVIRONMENT", p.environment);
    s += ".SH \"EXIT STATUS\"\n";
    paragraphs(s, p.exitStatus);
    s += ".SH \"SEE ALSO\"\n";
    s += withCommands ? ".BR kamelo (1)\n" : ".BR kamelo\\-cli (1)\n";
    return s;
}

std::vector<std::string> optionValues(const Option& option) {
    std::vector<std::string> values;
    const std::string_view argument = option.argument;
    if (argument.find('|') == std::string_view::npos)
        return values;
    size_t at = 0;
    while (at <= argument.size()) {
        const size_t end = std::min(argument.find('|', at), argument.size());
        const std::string_view word = argument.substr(at, end - at);
        // "WxH" names a value to type; "BMP" and "rename" are values.
        bool upper = false, lower = false;
        for (char c : word) {
            upper = upper || std::isupper(static_cast<unsigned char>(c));
            lower = lower || std::islower(static_cast<unsigned char>(c));
        }
        if (!word.empty() && !(upper && lower))
            values.emplace_back(word);
        at = end + 1;
    }
    return values;
}

namespace {

std::string alternatives(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names)
        s += (s.empty() ? "" : "|") + n;
    return s;
}

// The "case $prev in" arms for the values of options: their own words,
// folders for DIR, files for PATH, FILE and OUT, nothing for the rest.
std::string valueArms(const std::vector<Option>& options, const std::string& indent) {
    std::vector<std::string> dirs, files, other;
    std::string s;
    for (const Option& o : options) {
        const std::string_view argument = o.argument;
        if (argument.empty())
            continue;
        if (const std::vector<std::string> values = optionValues(o); !values.empty())
            s += indent + o.name + ") COMPREPLY=($(compgen -W '" + words(values) +
                 "' -- \"$cur\")); return ;;\n";
        else if (argument == "DIR")
            dirs.push_back(o.name);
        else if (argument == "PATH" || argument == "FILE" || argument == "OUT")
            files.push_back(o.name);
        else
            other.push_back(o.name);
    }
    if (!dirs.empty())
        s += indent + alternatives(dirs) + ")\n" + indent +
             "    compopt -o filenames 2>/dev/null\n" + indent +
             "    mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")\n" + indent + "    return ;;\n";
    if (!files.empty())
        s += indent + alternatives(files) + ") return ;;\n";
    if (!other.empty())
        s += indent + alternatives(other) + ") compopt +o default 2>/dev/null; return ;;\n";
    return s;
}

} // namespace

std::string bashCompletion() {
    const Program& p = cliProgram();
    std::vector<std::string> top;
    for (const Option& o : p.options)
        top.push_back(o.name);
    for (const Command& c : commands())
        top.push_back(c.name);

    std::string s;
    s += "# bash completion for kamelo-cli. Written by kamelo-cli-docs from the help\n"
         "# texts of kamelo-cli; do not edit.\n\n";
    s += "_kamelo_cli()\n{\n";
    s += "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n";
    s += "    local i at=0 cmd=\n";
    s += "    COMPREPLY=()\n";
    s += "    for ((i = 1; i < COMP_CWORD; i++)); do\n";
    s += "        case ${COMP_WORDS[i]} in\n";
    s += "            --db) ((i++)) ;;\n";
    s += "            -*) ;;\n";
    s += "            *) cmd=${COMP_WORDS[i]}; at=$i; break ;;\n";
    s += "        esac\n    done\n";
    s += "    if [[ -z $cmd ]]; then\n        case $prev in\n";
    s += valueArms(p.options, "            ");
    s += "        esac\n    fi\n";
    s += "    case $cmd in\n";
    s += "        '') COMPREPLY=($(compgen -W '" + words(top) + "' -- \"$cur\")) ;;\n";
    for (const Command& c : commands()) {
        std::vector<std::string> opts = {"--help"};
        for (const Option& o : c.options)
            opts.push_back(o.name);
        s += std::string("        ") + c.name + ")\n";
        // An option's value comes from the option's own words in the table.
        const std::string arms = valueArms(c.options, "                ");
        if (!arms.empty())
            s += "            case $prev in\n" + arms + "            esac\n";
        s += "            if [[ $cur == -* ]]; then\n";
        s += "                COMPREPLY=($(compgen -W '" + words(opts) + "' -- \"$cur\"))\n";
        if (!c.words.empty()) {
            std::vector<std::string> sub(c.words.begin(), c.words.end());
            s += "            elif ((COMP_CWORD == at + 1)); then\n";
            s += "                COMPREPLY=($(compgen -W '" + words(sub) + "' -- \"$cur\"))\n";
        }
        if (std::string_view(c.arguments) == "dir") {
            s += "            else\n";
            s += "                compopt -o filenames 2>/dev/null\n";
            s += "                mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")\n";
        } else if (!*c.arguments) {
            s += "            else\n";
            s += "                compopt +o default 2>/dev/null\n";
        }
        s += "            fi ;;\n";
    }
    s += "    esac\n}\n";
    s += "complete -o default -F _kamelo_cli kamelo-cli\n";
    return s;
}

} // namespace kamelo::clihelp
