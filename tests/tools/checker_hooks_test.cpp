// What setup's line file and start-file expansion tell a tool: the length of a line before
// its cut, the fate of every template line, output below another folder than the one the
// lines name, and paths rewritten or refused before they are opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/linefile.h"
#include "config/startfile.h"
#include "../config/test_files.h"

namespace {

const int Block = LineFileBufferSize;

std::string Native(std::string text)
{
    for (char &c : text)
        if (c == '/')
            c = PathSeparator;
    return text;
}

struct LengthCase {
    const char *name;
    std::string before;  // bytes in front of the line
    std::string line;    // the line, with its line end if any
    int returned;
    int fullLength;
};

TEST(LineFileHook, LengthBeforeTheCut)
{
    const std::string a190(190, 'a');
    const std::vector<LengthCase> cases = {
        {"short", "", "abc\n", 3, 3},
        {"exactly the limit", "", a190 + "\n", 190, 190},
        {"one past the limit", "", a190 + "b\n", 190, 191},
        {"only blanks past the limit", "", a190 + "   \n", 190, 190},
        {"CR LF right at the limit", "", a190 + "\r\n", 190, 190},
        {"blank at the cut, text after it", "", std::string(189, 'a') + "  b\n", 189, 192},
        {"trailing blanks under the limit", "", "ab  \n", 2, 2},
        {"long last line without a line end", "", std::string(200, 'c'), 190, 200},
        {"long line over a block boundary", std::string(Block - 10, 'x') + "\n",
         std::string(1000, 'd') + "\n", 190, 1000},
        {"blanks up to a block boundary, then text", std::string(Block - 300, 'x') + "\n",
         std::string(100, 'e') + std::string(199, ' ') + "f\n", 100, 300},
    };
    for (const LengthCase &c : cases) {
        ScratchFolder folder;
        std::string path = folder.File("lines.txt");
        // A line without an end of its own is the last: nothing follows it.
        bool ended = c.line.back() == '\n';
        WriteBytes(path, c.before + c.line + (ended ? "next\n" : ""));
        int reader = LineFileOpenRead(path.c_str());
        ASSERT_GE(reader, 0) << c.name;
        char line[LineFileLineBuffer];
        if (!c.before.empty())
            LineFileReadLine(reader, line);
        int returned = LineFileReadLine(reader, line);
        int fullLength = LineFileLastLineLength();
        int next = LineFileReadLine(reader, line);
        std::string nextText = next >= 0 ? line : "";
        LineFileCloseRead(reader);
        EXPECT_EQ(c.returned, returned) << c.name;
        EXPECT_EQ(c.fullLength, fullLength) << c.name;
        if (ended) {
            EXPECT_EQ("next", nextText) << c.name << ": the line after it";
        }
    }
}

// Takes every path containing "refused" as one that has no form, and one containing
// "readonly" as one that opens for reading only; sends "virtual" paths to the test's folder.
std::string VirtualTarget;
int TestMap(const char *path, int forWriting, char *mapped, int size)
{
    std::string text = path;
    if (text.find("refused") != std::string::npos ||
        (forWriting && text.find("readonly") != std::string::npos))
        return -1;
    if (text.rfind("virtual", 0) == 0)
        text = VirtualTarget + text.substr(7);
    if ((int)text.size() >= size)
        return -1;
    snprintf(mapped, size, "%s", text.c_str());
    return 0;
}

TEST(LineFileHook, PathsAreRewrittenOrRefusedBeforeTheyAreOpened)
{
    ScratchFolder folder;
    VirtualTarget = folder.Path();
    LineFileMapPaths(TestMap);
    int writer = LineFileOpenWrite(Native("virtual/made.txt").c_str());
    if (writer >= 0) {
        LineFileWriteLine(writer, "made");
        LineFileCloseWrite(writer);
    }
    int refusedWrite = LineFileOpenWrite(folder.File("refused.txt").c_str());
    int refusedRead = LineFileOpenRead(folder.File("refused.txt").c_str());
    int reader = LineFileOpenRead(Native("virtual/made.txt").c_str());
    char line[LineFileLineBuffer] = "";
    int length = reader >= 0 ? LineFileReadLine(reader, line) : -100;
    if (reader >= 0)
        LineFileCloseRead(reader);
    WriteBytes(folder.File("readonly.txt"), "kept\n");
    int readOnlyWrite = LineFileOpenWrite(folder.File("readonly.txt").c_str());
    int readOnlyRead = LineFileOpenRead(folder.File("readonly.txt").c_str());
    if (readOnlyRead >= 0)
        LineFileCloseRead(readOnlyRead);
    LineFileMapPaths(0);

    EXPECT_GE(writer, 0);
    EXPECT_EQ("made\r\n", ReadBytes(folder.File("made.txt")));
    EXPECT_EQ(-3, refusedWrite);
    EXPECT_FALSE(FileExists(folder.File("refused.txt")));
    // A refused read leaves no reader open: the next one opens.
    EXPECT_EQ(-3, refusedRead);
    EXPECT_GE(reader, 0);
    EXPECT_EQ(4, length) << line;
    EXPECT_EQ(-3, readOnlyWrite);
    EXPECT_EQ("kept\n", ReadBytes(folder.File("readonly.txt")));
    EXPECT_GE(readOnlyRead, 0);
}

struct Fate {
    int number;
    int fate;
    std::string line;
    bool operator==(const Fate &other) const
    {
        return number == other.number && fate == other.fate && line == other.line;
    }
};

void PrintTo(const Fate &fate, std::ostream *out)
{
    *out << "{" << fate.number << ", " << fate.fate << ", \"" << fate.line << "\"}";
}

void Record(int number, int fate, const char *line, void *context)
{
    ((std::vector<Fate> *)context)->push_back({number, fate, line});
}

TEST(StartFileHook, EveryLineIsToldWhatBecameOfIt)
{
    ScratchFolder folder;
    std::string source = folder.File("src");
    std::string output = folder.File("out");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(output);
    const std::vector<std::string> lines = {
        "", "x", "[before]", "%path%/early", ":%path%/f.ini", "%PATH%/p", "", "%pat",
        ":%pa", ":%path%/nodir/g.ini", "lost", ":%Path%/h.ini", "t",
    };
    std::string text;
    for (const std::string &line : lines)
        text += Native(line) + "\n";
    WriteBytes(source + "\\start.ini", text);

    std::vector<Fate> fates;
    int result = ExpandStartFileTo(source.c_str(), "C:\\inst", output.c_str(), Record, &fates);

    const int fateOf[] = {
        TemplateLineLeading,   TemplateLineLeading,   TemplateLineNoOutput,
        TemplateLineNoOutput,  TemplateLineOpened,    TemplateLineWritten,
        TemplateLineWritten,   TemplateLineBadMarker, TemplateLineBadMarker,
        TemplateLineNotOpened, TemplateLineNoOutput,  TemplateLineOpened,
        TemplateLineWritten,
    };
    std::vector<Fate> expected;
    for (size_t i = 0; i < lines.size(); i++)
        expected.push_back({(int)i + 1, fateOf[i], Native(lines[i])});
    EXPECT_EQ(0, result);
    EXPECT_EQ(expected, fates);
    // The files lie below the output folder; their lines name the install directory.
    EXPECT_EQ(Visible("C:\\inst" + Native("/p") + "\r\n\r\n"),
              Visible(ReadBytes(output + Native("/f.ini"))));
    EXPECT_EQ("t\r\n", ReadBytes(output + Native("/h.ini")));
    EXPECT_EQ(2u, FilesIn(output).size());
}

TEST(StartFileHook, NoTemplateNoReport)
{
    ScratchFolder folder;
    std::vector<Fate> fates;
    EXPECT_EQ(-1, ExpandStartFileTo(folder.Path().c_str(), "C:\\inst", folder.Path().c_str(),
                                    Record, &fates));
    EXPECT_TRUE(fates.empty());
}

}  // namespace
