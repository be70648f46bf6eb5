// The line file: line splitting, cutting and trimming, line-end detection, the block
// boundaries of the read buffer, the writer and the result codes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/linefile.h"
#include "shell/text.h"
#include "test_files.h"


namespace {

const int Block = LineFileBufferSize;

struct ReadResult {
    int openResult = 0;
    std::vector<std::string> lines;
    int mode = -1;
    std::string failure;  // set when a call broke the line file's own rules
};

// Sets the line-end mode as a writer does, so that each read starts from a known mode.
void ResetLineEndMode(const ScratchFolder &folder)
{
    int handle = LineFileOpenWrite(folder.File("mode-reset").c_str());
    ASSERT_GE(handle, 0);
    LineFileCloseWrite(handle);
    ASSERT_EQ(LineEndCrLf, LineFileLineEndMode());
}

// Reads a whole file through the line file, checking on every call what holds for all of
// them: a length of 0..190, a NUL after the line, no trailing CR or blank.
ReadResult ReadAllLines(const std::string &path)
{
    ReadResult result;
    result.openResult = LineFileOpenRead(path.c_str());
    if (result.openResult < 0)
        return result;
    for (int call = 0; call < 100000; call++) {
        char line[LineFileLineBuffer + 16];
        memset(line, '#', sizeof line);
        int length = LineFileReadLine(result.openResult, line);
        if (length == -2)
            break;
        if (length < 0 || length > LineFileMaxLine || line[length] != 0 ||
            (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\r'))) {
            result.failure = "call " + std::to_string(call) + " returned " +
                             std::to_string(length);
            break;
        }
        result.lines.emplace_back(line, length);
    }
    // Past the end the reader keeps answering "end of file".
    char line[LineFileLineBuffer];
    if (result.failure.empty() && LineFileReadLine(result.openResult, line) != -2)
        result.failure = "a call after the end did not return -2";
    result.mode = LineFileLineEndMode();
    LineFileCloseRead(result.openResult);
    return result;
}

std::string Describe(const std::vector<std::string> &lines)
{
    std::string text = std::to_string(lines.size()) + " lines:";
    for (const auto &line : lines)
        text += " [" + Visible(line.size() > 40 ? line.substr(0, 20) + "..." +
                                                      std::to_string(line.size())
                                                : line) + "]";
    return text;
}

struct LineCase {
    const char *name;
    std::string content;
    std::vector<std::string> lines;
    int mode;  // after reading, starting from CR LF
    int codePage = 1252;  // the double-byte ones only natively, where the code page is chosen
};

std::vector<LineCase> SmallFileCases()
{
    const std::string cut(LineFileMaxLine, 'x');
    return {
        {"empty file", "", {}, LineEndCrLf},
        {"no line end", "abc", {"abc"}, LineEndLf},
        {"CR LF then empty line", "abc\r\n\r\n", {"abc", ""}, LineEndCrLf},
        {"CR alone", "a\rb\r", {"a", "b"}, LineEndCr},
        {"LF alone", "a\nb\n", {"a", "b"}, LineEndLf},
        {"CR LF gives the lines of LF", "a\r\nb\r\n", {"a", "b"}, LineEndCrLf},
        {"last line without line end", "a\nlast", {"a", "last"}, LineEndLf},
        {"no empty line after the last line end", "a\n", {"a"}, LineEndLf},
        {"lone line end", "\n", {""}, LineEndLf},
        {"trailing blanks and CR go", "ab  \r\nx\r\n", {"ab", "x"}, LineEndCrLf},
        {"trailing tab stays", "ab\t\nb\t \n", {"ab\t", "b\t"}, LineEndLf},
        {"leading blanks stay", "  lead\n", {"  lead"}, LineEndLf},
        {"blanks and CRs only give an empty line", "x\n \r \r\r\ny\n", {"x", "", "y"},
         LineEndCrLf},
        {"last line of blanks only", "a\n   ", {"a", ""}, LineEndLf},
        {"CR inside a line stays with LF separator", "a\r\nb\nc\rd\n", {"a", "b", "c\rd"},
         LineEndCrLf},
        {"both line ends seen: LF separates", "a\rb\nc\r", {"a\rb", "c"}, LineEndCrLf},
        {"LF inside a line stays with CR separator", "a\r" + std::string(1030, 'b') + "\rx\ny\r",
         {"a", std::string(LineFileMaxLine, 'b'), "x\ny"}, LineEndCr},
        {"NUL inside a line is kept", std::string("a\0b\n", 4), {std::string("a\0b", 3)},
         LineEndLf},
        {"300 characters cut to 190", std::string(300, 'x') + "\nnext\n", {cut, "next"},
         LineEndLf},
        {"exactly 190", cut + "\n", {cut}, LineEndLf},
        {"191 without line end", cut + "y", {cut}, LineEndLf},
        {"cut first, then trimmed", std::string(189, 'a') + " " + std::string(10, 'b') + "\n",
         {std::string(189, 'a')}, LineEndLf},
        {"blanks beyond the cut do not count", cut + "   \r\n", {cut}, LineEndCrLf},
        // A cut through a character of two bytes keeps none of it; one that ends the line
        // was not cut, and a lead byte at 190 may be the second byte of a whole character.
        {"932: lead byte at 190 goes with its cut second byte",
         std::string(189, 'a') + "\x95\x5c" + "z\n", {std::string(189, 'a')}, LineEndLf, 932},
        {"936: lead byte at 190 goes with its cut second byte",
         std::string(189, 'a') + "\xd6\xd0\n", {std::string(189, 'a')}, LineEndLf, 936},
        {"932: the character at 189 and 190 stays whole",
         std::string(188, 'a') + "\x95\x95\x95\x5c\n", {std::string(188, 'a') + "\x95\x95"},
         LineEndLf, 932},
        {"932: a lone lead byte that ends the line stays", std::string(189, 'a') + "\xfc\n",
         {std::string(189, 'a') + "\xfc"}, LineEndLf, 932},
        {"1252: byte 190 is a character of its own", std::string(189, 'a') + "\x95\x5c\n",
         {std::string(189, 'a') + "\x95"}, LineEndLf},
    };
}

class LineFileRead : public ::testing::Test {
protected:
    ScratchFolder folder;

    void Expect(const LineCase &c)
    {
#ifdef _WIN32
        if (c.codePage != 1252)
            return;
#endif
        std::string path = folder.File("case.txt");
        WriteBytes(path, c.content);
        ResetLineEndMode(folder);
#ifndef _WIN32
        UseCodePage(c.codePage);
#endif
        ReadResult r = ReadAllLines(path);
#ifndef _WIN32
        UseCodePage(1252);
#endif
        EXPECT_GE(r.openResult, 0) << c.name;
        EXPECT_EQ("", r.failure) << c.name;
        EXPECT_EQ(c.lines, r.lines) << c.name << ": got " << Describe(r.lines);
        EXPECT_EQ(c.mode, r.mode) << c.name;
    }
};

TEST_F(LineFileRead, SmallFiles)
{
    for (const LineCase &c : SmallFileCases())
        Expect(c);
}

TEST_F(LineFileRead, DetectionLooksAtTheFirst1024BytesOnly)
{
    std::string lfLines;
    for (int i = 0; i < 600; i++)
        lfLines += "a\n";
    std::vector<std::string> lfExpected(600, "a");
    auto withTail = [&](std::vector<std::string> tail) {
        std::vector<std::string> lines = lfExpected;
        lines.insert(lines.end(), tail.begin(), tail.end());
        return lines;
    };
    const LineCase cases[] = {
        // No CR in the window: LF alone, even with CR LF further on.
        {"CR LF after 1024 bytes", lfLines + "b\r\nc\r\n", withTail({"b", "c"}), LineEndLf},
        // A CR-only file whose first line outgrows the window is one long line.
        {"CR after 1024 bytes of a CR file", std::string(1030, 'x') + "\ry\r",
         {std::string(LineFileMaxLine, 'x')}, LineEndLf},
        {"CR as byte 1024", std::string(1023, 'x') + "\ry\r",
         {std::string(LineFileMaxLine, 'x'), "y"}, LineEndCr},
        {"CR as byte 1025", std::string(1024, 'x') + "\ry\r",
         {std::string(LineFileMaxLine, 'x')}, LineEndLf},
    };
    for (const LineCase &c : cases)
        Expect(c);
}

TEST_F(LineFileRead, ModeDecidedByFirstLineOnly)
{
    // A file with both line ends in its window leaves the mode of the last file read.
    std::string path = folder.File("lf.txt");
    WriteBytes(path, "x\n");
    ResetLineEndMode(folder);
    ASSERT_EQ(LineEndLf, ReadAllLines(path).mode);
    WriteBytes(path, "a\r\nb\r\n");
    ReadResult both = ReadAllLines(path);
    EXPECT_EQ(LineEndLf, both.mode) << "CR LF file changed the mode";
    WriteBytes(path, "");
    EXPECT_EQ(LineEndLf, ReadAllLines(path).mode) << "empty file changed the mode";
}

// Lines that meet the end of the 256 KiB read buffer go on in the next block.
TEST_F(LineFileRead, BlockBoundaries)
{
    // Filler that ends with its line end so that the next line starts at `at`.
    auto fillTo = [](int at) {
        return "a\r\n" + std::string(at - 3 - 2, 'f') + "\r\n";
    };
    const std::string cutF(LineFileMaxLine, 'f');
    const LineCase cases[] = {
        {"line across the boundary", fillTo(Block - 3) + "hello\r\nend\r\n",
         {"a", cutF, "hello", "end"}, LineEndCrLf},
        {"CR last in block, LF first in the next", fillTo(Block - 5) + "tail\r\nend\r\n",
         {"a", cutF, "tail", "end"}, LineEndCrLf},
        {"separator is the block's last byte", fillTo(Block - 4) + "abc\nend\r\n",
         {"a", cutF, "abc", "end"}, LineEndCrLf},
        {"empty line first in the next block", fillTo(Block - 5) + "abc\r\n\r\nend\r\n",
         {"a", cutF, "abc", "", "end"}, LineEndCrLf},
        {"file of exactly one block ending in a line end", fillTo(Block - 5) + "abc\r\n",
         {"a", cutF, "abc"}, LineEndCrLf},
        {"last line without line end ends the block", fillTo(Block - 3) + "abc",
         {"a", cutF, "abc"}, LineEndCrLf},
        {"last line without line end in the next block", fillTo(Block - 3) + "abcdef",
         {"a", cutF, "abcdef"}, LineEndCrLf},
        {"cut line spanning two blocks", fillTo(Block - 100) + std::string(300, 'z') + "\r\n",
         {"a", cutF, std::string(LineFileMaxLine, 'z')}, LineEndCrLf},
        {"short piece in each of two blocks", fillTo(Block - 2) + "xy" + "zw\r\n",
         {"a", cutF, "xyzw"}, LineEndCrLf},
        // The first line fills the whole block: LF decided there, then the next block's
        // head has CRs only, which makes it a CR file from there on.
        {"first line longer than a block", std::string(Block, 'a') + "\rb\r",
         {std::string(LineFileMaxLine, 'a'), "b"}, LineEndCr},
        {"first line across three blocks", std::string(2 * Block + 10, 'a') + "\nb",
         {std::string(LineFileMaxLine, 'a'), "b"}, LineEndLf},
    };
    for (const LineCase &c : cases)
        Expect(c);
}

TEST_F(LineFileRead, ManyLinesKeepTheirOrder)
{
    std::string content;
    std::vector<std::string> expected;
    for (int i = 0; i < 40000; i++) {
        std::string line = "line " + std::to_string(i);
        content += line + (i % 3 ? "\r\n" : "   \r\n");
        expected.push_back(line);
    }
    Expect({"40000 lines over several blocks", content, expected, LineEndCrLf});
}

class LineFileOpen : public ::testing::Test {
protected:
    ScratchFolder folder;
};

TEST_F(LineFileOpen, ReadResultCodes)
{
    std::string missingDir = folder.File("none") + PathSeparator + "x.txt";
    EXPECT_EQ(-1, LineFileOpenRead(folder.File("missing.txt").c_str())) << "missing file";
    EXPECT_EQ(-1, LineFileOpenRead(missingDir.c_str())) << "missing directory";

    // A failed open leaves no reader behind.
    std::string path = folder.File("one.txt");
    WriteBytes(path, "first\nsecond\n");
    int reader = LineFileOpenRead(path.c_str());
    ASSERT_GE(reader, 0) << "open after failed opens";

    char line[LineFileLineBuffer];
    ASSERT_EQ(5, LineFileReadLine(reader, line));
    EXPECT_EQ(-4, LineFileOpenRead(path.c_str())) << "second reader";
    EXPECT_EQ(-4, LineFileOpenRead(folder.File("missing.txt").c_str()));
    // The open reader goes on where it was.
    EXPECT_EQ(6, LineFileReadLine(reader, line));
    EXPECT_STREQ("second", line);
    EXPECT_EQ(-2, LineFileReadLine(reader, line));
    EXPECT_EQ(0, LineFileCloseRead(reader));

    reader = LineFileOpenRead(path.c_str());
    EXPECT_GE(reader, 0) << "open after close";
    EXPECT_EQ(0, LineFileCloseRead(reader));
    EXPECT_EQ(-1, LineFileCloseRead(reader)) << "closing a closed handle";
}

TEST_F(LineFileOpen, ReadingWithoutReaderIsEndOfFile)
{
    char line[LineFileLineBuffer] = "unchanged";
    EXPECT_EQ(-2, LineFileReadLine(0, line));
    EXPECT_STREQ("unchanged", line);
}

TEST_F(LineFileOpen, WriteResultCodesAndFileStates)
{
    std::string existing = folder.File("existing.txt");
    WriteBytes(existing, std::string(5000, 'o'));
    int writer = LineFileOpenWrite(existing.c_str());
    ASSERT_GE(writer, 0);
    EXPECT_EQ(0, LineFileCloseWrite(writer));
    EXPECT_EQ("", ReadBytes(existing)) << "existing file not emptied";

    std::string created = folder.File("created.txt");
    writer = LineFileOpenWrite(created.c_str());
    ASSERT_GE(writer, 0);
    EXPECT_EQ(0, LineFileWriteLine(writer, "new"));
    EXPECT_EQ(0, LineFileCloseWrite(writer));
    EXPECT_EQ(Visible("new\r\n"), Visible(ReadBytes(created)));
    EXPECT_EQ(-1, LineFileCloseWrite(writer)) << "closing a closed handle";

    // The created file is not read-only: it can be opened for writing again.
    writer = LineFileOpenWrite(created.c_str());
    EXPECT_GE(writer, 0) << "created file cannot be rewritten";
    LineFileCloseWrite(writer);

    std::string missingDir = folder.File("none") + PathSeparator + "x.txt";
    EXPECT_EQ(-3, LineFileOpenWrite(missingDir.c_str()));
    EXPECT_FALSE(FileExists(missingDir));
}

TEST_F(LineFileOpen, ReadOnlyFileRefusesWriting)
{
    std::string path = folder.File("locked.txt");
    WriteBytes(path, "keep\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    {
        // The superuser (on Linux, and under Wine run by it) may write any file.
        std::ofstream probe(path, std::ios::app);
        if (probe.is_open())
            GTEST_SKIP() << "this user may write read-only files";
    }
    EXPECT_EQ(-2, LineFileOpenWrite(path.c_str()));
    EXPECT_EQ("keep\r\n", ReadBytes(path)) << "refused file was changed";
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

#ifdef _WIN32
// Windows refuses to open a directory as a file.
TEST_F(LineFileOpen, DirectoryIsRefused)
{
    EXPECT_EQ(-2, LineFileOpenRead(folder.Path().c_str()));
    int again = LineFileOpenRead(folder.File("missing").c_str());
    EXPECT_EQ(-1, again) << "a refused open left a reader behind";
    EXPECT_EQ(-2, LineFileOpenWrite(folder.Path().c_str()));
}
#endif

class LineFileWrite : public ::testing::Test {
protected:
    ScratchFolder folder;
};

TEST_F(LineFileWrite, LinesEndInCrLfAfterOpening)
{
    std::string path = folder.File("out.txt");
    int writer = LineFileOpenWrite(path.c_str());
    ASSERT_GE(writer, 0);
    EXPECT_EQ(LineEndCrLf, LineFileLineEndMode());
    EXPECT_EQ(0, LineFileWriteLine(writer, ""));
    EXPECT_EQ(0, LineFileWriteLine(writer, "text  with blanks  "));
    EXPECT_EQ(0, LineFileWriteLine(writer, "tab\t"));
    EXPECT_EQ(0, LineFileCloseWrite(writer));
    EXPECT_EQ(Visible("\r\ntext  with blanks  \r\ntab\t\r\n"), Visible(ReadBytes(path)));
}

// Reader and writer share the mode: a writer opened before a reader's first line writes
// with the line end that the reader found.
TEST_F(LineFileWrite, WriterFollowsTheModeOfTheFirstLineRead)
{
    const struct {
        const char *input;
        const char *written;
    } cases[] = {
        {"a\nb\n", "x\n\n"},
        {"a\rb\r", "x\r\r"},
        {"a\r\nb\r\n", "x\r\n\r\n"},
    };
    for (const auto &c : cases) {
        std::string input = folder.File("in.txt");
        std::string output = folder.File("out.txt");
        WriteBytes(input, c.input);
        int writer = LineFileOpenWrite(output.c_str());
        ASSERT_GE(writer, 0);
        int reader = LineFileOpenRead(input.c_str());
        ASSERT_GE(reader, 0);
        char line[LineFileLineBuffer];
        EXPECT_EQ(1, LineFileReadLine(reader, line));
        EXPECT_EQ(0, LineFileWriteLine(writer, "x"));
        EXPECT_EQ(0, LineFileWriteLine(writer, ""));
        LineFileCloseRead(reader);
        LineFileCloseWrite(writer);
        EXPECT_EQ(Visible(c.written), Visible(ReadBytes(output))) << Visible(c.input);

        // Opening the next writer goes back to CR LF.
        writer = LineFileOpenWrite(output.c_str());
        EXPECT_EQ(LineEndCrLf, LineFileLineEndMode());
        LineFileCloseWrite(writer);
    }
}

TEST_F(LineFileWrite, FailedWritesReportMinusOne)
{
    std::string path = folder.File("readonly-handle.txt");
    WriteBytes(path, "content\n");
    int reader = LineFileOpenRead(path.c_str());
    ASSERT_GE(reader, 0);
    EXPECT_EQ(-1, LineFileWriteLine(reader, "text")) << "text on a read-only handle";
    EXPECT_EQ(-1, LineFileWriteLine(reader, "")) << "line end on a read-only handle";
    LineFileCloseRead(reader);
    EXPECT_EQ("content\n", ReadBytes(path));

    // The failed open of a writer still sets CR LF.
    WriteBytes(path, "a\n");
    ReadAllLines(path);
    ASSERT_EQ(LineEndLf, LineFileLineEndMode());
    EXPECT_LT(LineFileOpenWrite((folder.File("none") + PathSeparator + "x").c_str()), 0);
    EXPECT_EQ(LineEndCrLf, LineFileLineEndMode());
}

} // namespace
