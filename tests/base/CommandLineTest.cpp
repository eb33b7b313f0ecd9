#include <gtest/gtest.h>

#include "base/CommandLine.h"

namespace gridport {
namespace {

const std::vector<DeclaredOption> kDeclared{
    {"jobs", 'j', true},
    {"tilesets", '\0', true, true},
    {"force", 'f'},
};

struct Case {
    std::vector<std::string> arguments;
    // What the line came to, written out: "help version jobs=4 ... | operand operand", or the error.
    std::string parsed;
};

std::string Written(const Expected<CommandLine>& line) {
    if (!line) {
        EXPECT_EQ(line.error().Kind(), ErrorKind::Usage);
        EXPECT_EQ(ExitStatus(line.error()), 2);
        return "error: " + line.error().Text();
    }
    std::string text = std::string(line->help ? "help " : "") + (line->version ? "version " : "");
    for (const GivenOption& given : line->options) {
        text += std::string(given.name) + "=" + given.value + " ";
    }
    text += "|";
    for (const std::string& operand : line->operands) {
        text += " " + operand;
    }
    return text;
}

TEST(CommandLine, SortsTheArgumentsOrSaysWhyNot) {
    for (const Case& c : std::vector<Case>{
             {{}, "|"},
             {{"a", "-", "b"}, "| a - b"},  // "-" is the standard stream: an operand
             {{"--jobs=4", "x", "--jobs", "5"}, "error: --jobs is given twice"},
             {{"--jobs=", "x"}, "jobs= | x"},
             {{"--jobs=a=b"}, "jobs=a=b |"},
             {{"-j", "-", "-j3"}, "error: -j is given twice"},
             {{"-j3", "--tilesets", "-f", "--tilesets=d"}, "jobs=3 tilesets=-f tilesets=d |"},
             {{"-j=7"}, "jobs=7 |"},
             {{"a", "--", "-f", "--jobs", "--", "-"}, "| a -f --jobs -- -"},
             {{"-f", "b", "--force"}, "error: --force is given twice"},
             {{"--tilesets", "b", "-f", "--tilesets=a"}, "tilesets=b force= tilesets=a |"},
             {{"--force=yes"}, "error: --force takes no value"},
             {{"-fx"}, "error: unknown option '-fx'"},
             {{"--jobs"}, "error: --jobs needs a value"},
             {{"a", "-j"}, "error: -j needs a value"},
             {{"--job", "1"}, "error: unknown option '--job'"},
             {{"-x"}, "error: unknown option '-x'"},
             {{"--bogus=1"}, "error: unknown option '--bogus'"},
             {{"-h", "a"}, "help | a"},
             {{"--help", "-v"}, "help version |"},
             {{"-V"}, "version |"},
             {{"--version", "--", "-v"}, "version | -v"},
             {{""}, "| "},
         }) {
        EXPECT_EQ(Written(ParseCommandLine(c.arguments, kDeclared)), c.parsed) << ::testing::PrintToString(c.arguments);
    }
}

}  // namespace
}  // namespace gridport
