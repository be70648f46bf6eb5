// brindle's own byte handling, natively under the sanitizers: its argument copied into a
// buffer of the given size, and its output gathered in 128 bytes and handed on in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brindle/arguments.h"
#include "brindle/output.h"

namespace {

std::string Pieces;  // the size of each piece handed on, "end" where the program ended
std::string Written;

void RecordPiece(const char *bytes, int count)
{
    Pieces += std::to_string(count) + " ";
    Written.append(bytes, count);
}

TEST(BrindleOutput, PiecesOfAFileOrAConsole)
{
    const std::string line126(126, 'x');
    const struct {
        const char *name;
        int eachLine;
        std::vector<std::string> lines;
        const char *pieces;
    } cases[] = {
        {"exactly a buffer's worth", 0, {line126}, "128 end"},
        {"one byte less", 0, {line126.substr(1)}, "end 127"},
        {"one byte more: CR last in the buffer, LF first in the next", 0, {line126 + "x"},
         "128 end 1"},
        {"two buffers' worth in two lines", 0, {line126, line126}, "128 128 end"},
        {"console: each line at its end", 1, {"first", "second"}, "7 8 end"},
        {"console: a line of a buffer's worth is handed on once", 1, {line126, "x"},
         "128 3 end"},
        {"no output: nothing is handed on", -1, {line126 + "x"}, "end"},
    };
    for (const auto &c : cases) {
        Pieces.clear();
        Written.clear();
        UseOutput(c.eachLine < 0 ? nullptr : RecordPiece, c.eachLine > 0);
        std::string expected;
        for (const std::string &line : c.lines) {
            WriteText(line.c_str());
            EndLine();
            expected += line + "\r\n";
        }
        Pieces += "end ";
        FlushOutput();
        EXPECT_EQ(std::string(c.pieces) + " ", Pieces) << c.name;
        EXPECT_EQ(c.eachLine < 0 ? "" : expected, Written) << c.name;
    }
    UseOutput(nullptr, 0);
}

// The buffer has exactly the size given, so that a byte past it is caught.
TEST(BrindleArguments, FirstArgumentFitsWholeOrNotAtAll)
{
    const struct {
        const char *commandLine;
        int size;
        int result;
        const char *argument;
    } cases[] = {
        {"brindle a.inf", 6, 5, "a.inf"},
        {"brindle ab.inf", 6, ArgumentTooLong, ""},
        {"brindle \"a b\"c", 5, 4, "a bc"},
        {"brindle \"a b\"cd", 5, ArgumentTooLong, ""},
        {"\"C:\\my setup\\brindle.exe\" x.inf y", 6, 5, "x.inf"},
        {"brindle \t ", 1, ArgumentNone, ""},
        {"brindle \"\" x", 1, 0, ""},
    };
    for (const auto &c : cases) {
        std::vector<char> argument(c.size, '#');
        EXPECT_EQ(c.result, FirstArgument(c.commandLine, argument.data(), c.size))
            << c.commandLine;
        EXPECT_STREQ(c.argument, argument.data()) << c.commandLine;
    }
}

}  // namespace
