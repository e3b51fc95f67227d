#include "updater/commandline.h"

#include <gtest/gtest.h>

using namespace vela;
using V = std::vector<std::string>;

TEST(CommandLine, SplitsAtBlanks) {
    EXPECT_EQ(splitCommandLine("  a  b\tc "), (V{"a", "b", "c"}));
    EXPECT_EQ(splitCommandLine(""), V{});
    EXPECT_EQ(splitCommandLine("   "), V{});
}

TEST(CommandLine, QuotesAndEscapes) {
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\Kamelo\\kamelo.exe\" /auto"),
              (V{"C:\\Program Files\\Kamelo\\kamelo.exe", "/auto"}));
    EXPECT_EQ(splitCommandLine(R"("a \"b\" c")"), V{"a \"b\" c"});
    EXPECT_EQ(splitCommandLine(R"("x\\" y)"), (V{"x\\", "y"}));
    EXPECT_EQ(splitCommandLine(R"("l1\nl2\r")"), V{"l1\nl2\r"});
    EXPECT_EQ(splitCommandLine(R"("\q")"), V{"\\q"});
    EXPECT_EQ(splitCommandLine(R"("" x)"), (V{"", "x"}));
    // A quote inside an unquoted argument is an ordinary character.
    EXPECT_EQ(splitCommandLine(R"(a"b c)"), (V{"a\"b", "c"}));
}

TEST(CommandLine, UnclosedQuoteEmptiesTheList) {
    EXPECT_EQ(splitCommandLine("a \"b c"), V{});
    EXPECT_EQ(splitCommandLine(R"(a "b\")"), V{});
}

TEST(CommandLine, JoinIsTheInverse) {
    const V args{"/opt/my app/kamelo", "/auto", "q\"uo\\te", ""};
    EXPECT_EQ(splitCommandLine(joinArguments(args)), args);
    EXPECT_EQ(quotedArgument("a b"), " \"a b\"");
}

TEST(CommandLine, AutoAndProgramToRestart) {
    auto a = parseUpdaterArguments({"/opt/k/kamelo", "/auto"});
    EXPECT_TRUE(a.automatic);
    EXPECT_EQ(a.programToRestart, "/opt/k/kamelo");
    a = parseUpdaterArguments({"/auto"});
    EXPECT_TRUE(a.automatic);
    EXPECT_EQ(a.programToRestart, "");
    a = parseUpdaterArguments({"/first", "/second", "/auto"});
    EXPECT_FALSE(a.automatic); // only the first two count
    EXPECT_EQ(a.programToRestart, "/second");
    a = parseUpdaterArguments({"/AUTO"});
    EXPECT_FALSE(a.automatic);
    EXPECT_EQ(a.programToRestart, "/AUTO");
}

TEST(CommandLine, ParenthesisedCommand) {
    std::string cmd;
    EXPECT_TRUE(parenthesisedCommand("x (touch /tmp/a b) y", cmd));
    EXPECT_EQ(cmd, "touch /tmp/a b");
    EXPECT_FALSE(parenthesisedCommand("only ( open", cmd));
    EXPECT_FALSE(parenthesisedCommand("close ) before", cmd));
}
