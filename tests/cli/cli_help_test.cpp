#include "cli/commandhelp.h"
#include "cli/helpdocs.h"
#include "tests/cli/clirunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>

using namespace kamelo;
using namespace kamelo::test;

namespace {

// The option names (--xxx) written in a text.
std::set<std::string> optionNames(const std::string& text) {
    std::set<std::string> names;
    static const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

} // namespace

// What the usage lines offer is what the option list explains, and the
// other way round, for every command: a new option cannot go undocumented.
TEST(CliHelpTable, SynopsisAndOptionsAgree) {
    for (const clihelp::Command& c : clihelp::commands()) {
        std::string synopsis;
        for (const char* line : c.synopsis) {
            EXPECT_EQ(std::string(line).rfind(std::string(c.name) + " ", 0), 0u)
                << c.name << ": " << line;
            synopsis += std::string(line) + "\n";
        }
        std::set<std::string> described;
        for (const clihelp::Option& o : c.options) {
            described.insert(o.name);
            EXPECT_NE(*o.text, '\0') << c.name << " " << o.name;
        }
        EXPECT_EQ(optionNames(synopsis), described) << c.name;
        EXPECT_NE(*c.summary, '\0') << c.name;
        const std::string_view kind = c.arguments;
        EXPECT_TRUE(kind.empty() || kind == "file" || kind == "dir") << c.name;
    }
}

TEST(CliHelpTable, NamesAreUnique) {
    std::set<std::string> names;
    for (const clihelp::Command& c : clihelp::commands())
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_EQ(clihelp::find("nothing"), nullptr);
    ASSERT_NE(clihelp::find("thumbs"), nullptr);
}

TEST(CliHelp, ProgramHelpListsEveryCommand) {
    ScratchDir dir;
    const CliResult r = cli(dir, {"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, clihelp::programHelp());
    for (const clihelp::Command& c : clihelp::commands())
        for (const char* line : c.synopsis)
            EXPECT_NE(r.out.find(line), std::string::npos) << line;
    for (const char* option : {"--db PATH", "--version", "--help"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST(CliHelp, EveryCommandHasItsOwnHelp) {
    ScratchDir dir;
    for (const clihelp::Command& c : clihelp::commands()) {
        const CliResult r = cli(dir, {c.name, "--help"});
        EXPECT_EQ(r.code, 0) << c.name;
        EXPECT_EQ(r.out.rfind("사용법: kamelo-cli " + std::string(c.name), 0), 0u) << r.out;
        EXPECT_NE(r.out.find(c.summary), std::string::npos) << c.name;
        for (const clihelp::Option& o : c.options)
            EXPECT_NE(r.out.find(o.text), std::string::npos) << c.name << " " << o.name;
    }
    // After a sub-command too.
    const CliResult show = cli(dir, {"cache", "show", "--help"});
    EXPECT_EQ(show.code, 0);
    EXPECT_EQ(show.out, clihelp::commandHelp(*clihelp::find("cache")));
}

// A wrong call prints the command's own usage from the table and ends with 2.
TEST(CliHelp, WrongCallsPrintTheTableUsage) {
    ScratchDir dir;
    struct Case {
        std::vector<std::string> args;
        const char* command;
    };
    const std::vector<Case> cases = {
        {{"thumbs"}, "thumbs"},
        {{"thumbs", "a", "b"}, "thumbs"},
        {{"cache", "list", "x"}, "cache"},
        {{"settings", "get"}, "settings"},
        {{"info"}, "info"},
        {{"resave", "a"}, "resave"},
        {{"exif"}, "exif"},
        {{"convert", "a.bmp"}, "convert"},
        {{"convert", "--format", "XYZ", "a.bmp"}, "convert"},
        {{"no-such-command"}, ""},
        {{}, ""},
    };
    for (const Case& c : cases) {
        const CliResult r = runCli(dir, c.args, CliStreams::Errors);
        EXPECT_EQ(r.code, 2) << c.command;
        // Qt may say something about the desktop first.
        const std::string usage = clihelp::usage(c.command);
        EXPECT_TRUE(r.out.size() >= usage.size() &&
                    r.out.compare(r.out.size() - usage.size(), usage.size(), usage) == 0)
            << c.command << ": " << r.out;
    }
    const std::string all = clihelp::usage("");
    for (const clihelp::Command& c : clihelp::commands())
        EXPECT_NE(all.find(c.synopsis.front()), std::string::npos) << c.name;
}

// "--help" as a value is a value: only the second word asks for help.
TEST(CliHelp, HelpElsewhereIsNoHelpRequest) {
    ScratchDir dir;
    const CliResult r = runCli(dir, {"settings", "get", "General", "--help"}, CliStreams::Both);
    EXPECT_EQ(r.code, 1) << r.out; // no such value
    EXPECT_EQ(r.out.find("사용법"), std::string::npos) << r.out;
}

TEST(ManPage, RoffEscapes) {
    EXPECT_EQ(clihelp::roffEscape("--jobs N"), "\\-\\-jobs N");
    EXPECT_EQ(clihelp::roffEscape("a\\b"), "a\\eb");
    EXPECT_EQ(clihelp::roffEscape(".hidden"), "\\&.hidden");
    EXPECT_EQ(clihelp::roffEscape("'quoted'"), "\\&'quoted'");
    EXPECT_EQ(clihelp::roffEscape("그림 파일"), "그림 파일");
}

// Every line of the page is either a request or text that cannot be taken
// for one, and every command and option of the table is on the page.
TEST(ManPage, HoldsTheWholeTable) {
    const std::string page = clihelp::manPage(clihelp::cliProgram(), true, "9.9.9");
    EXPECT_EQ(page.find(".TH KAMELO\\-CLI 1 \"\" \"Kamelo 9.9.9\""), page.find(".TH"));
    size_t at = 0;
    while (at < page.size()) {
        const size_t end = page.find('\n', at);
        const std::string line = page.substr(at, end - at);
        EXPECT_NE(line.rfind("'", 0), 0u) << line;
        at = end + 1;
    }
    for (const clihelp::Command& c : clihelp::commands()) {
        EXPECT_NE(page.find(".SS " + clihelp::roffEscape(c.name) + "\n"), std::string::npos);
        for (const clihelp::Option& o : c.options)
            EXPECT_NE(page.find(clihelp::roffEscape(o.text)), std::string::npos) << o.name;
    }
    const std::string photo = clihelp::manPage(clihelp::photoProgram(), false, "9.9.9");
    EXPECT_EQ(photo.find(".SH COMMANDS"), std::string::npos);
    EXPECT_NE(photo.find(".BR kamelo\\-cli (1)"), std::string::npos);
}

TEST(Completion, OffersCommandsAndOptions) {
    const std::string script = clihelp::bashCompletion();
    for (const clihelp::Command& c : clihelp::commands()) {
        EXPECT_NE(script.find(std::string("        ") + c.name + ")\n"), std::string::npos);
        for (const clihelp::Option& o : c.options)
            EXPECT_NE(script.find(o.name), std::string::npos) << o.name;
    }
    EXPECT_NE(script.find("complete -o default -F _kamelo_cli kamelo-cli"), std::string::npos);
}

namespace {

// What bash offers for the words typed so far (the last one being completed),
// with the script of the help table loaded.
std::string complete(const ScratchDir& dir, const std::vector<std::string>& typed) {
    const std::string script = dir.file("kamelo-cli.bash");
    std::ofstream(script) << clihelp::bashCompletion();
    std::string words = "kamelo-cli";
    for (const std::string& w : typed)
        words += " " + shellQuote(w);
    const std::string run = "source " + shellQuote(script) + "; COMP_WORDS=(" + words +
                            "); COMP_CWORD=" + std::to_string(typed.size()) +
                            "; _kamelo_cli 2>/dev/null; echo \"${COMPREPLY[*]}\"";
    FILE* pipe = popen(("bash --norc -c " + shellQuote(run)).c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    if (pipe)
        pclose(pipe);
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

} // namespace

TEST(Completion, CompletesOptionValuesFromTheTable) {
    ScratchDir dir;
    struct Case {
        std::vector<std::string> typed;
        std::string offered;
    };
    const std::vector<Case> cases = {
        {{"import", "src", "dest", "--clash", ""}, "rename skip overwrite stop"},
        {{"import", "src", "dest", "--clash", "s"}, "skip stop"},
        {{"--db", "x.sqlite", "import", "a", "b", "--rule", ""}, "0 1 2"},
        {{"convert", "--format", "P"}, "PCX PNG"},
        {{"resize", "--method", ""}, "bicubic resample normal"},
        {{"print", "--size", ""}, "fit 3x5 4x6 5x7 10x8"},
        {{"resize", "--size", ""}, ""}, // WxH is typed
        {{"frame", "--rendering", ""}, "0 1 2"},
        {{"convert", "--fo"}, "--format"},
        {{"conv"}, "convert"},
        {{"cache", ""}, "show"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(complete(dir, c.typed), c.offered) << c.typed.front() << " " << c.typed.back();
    // Every option that lists its values offers exactly them.
    for (const clihelp::Command& c : clihelp::commands())
        for (const clihelp::Option& o : c.options) {
            const std::vector<std::string> values = clihelp::optionValues(o);
            if (values.empty())
                continue;
            std::string all;
            for (const std::string& v : values)
                all += (all.empty() ? "" : " ") + v;
            EXPECT_EQ(complete(dir, {c.name, o.name, ""}), all) << c.name << " " << o.name;
        }
}

// The manual page says what the program does when the viewer closes.
TEST(ManPage, SaysThatClosingTheViewerEndsTheProgram) {
    const std::string page = clihelp::manPage(clihelp::photoProgram(), false, "9.9.9");
    struct Case {
        const char* text;
        bool present;
    };
    for (const Case& c : std::vector<Case>{{"뷰어를 닫으면 (ESC, 종료, 창 닫기) 프로그램이", true},
                                           {"브라우저로 돌아가고", true},
                                           {"뷰어를 닫으면 브라우저로 돌아갑니다", false}})
        EXPECT_EQ(page.find(c.text) != std::string::npos, c.present) << c.text << "\n" << page;
}
