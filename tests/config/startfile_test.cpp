// The start-file expansion: the template grammar, the output files it makes and the
// composed paths and lines. Templates are written with '/' as the path separator and "{I}"
// in expected output stands for the install directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "config/linefile.h"
#include "config/startfile.h"
#include "test_files.h"

namespace {

std::string Native(std::string text)
{
    for (char &c : text)
        if (c == '/')
            c = PathSeparator;
    return text;
}

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string DescribeFiles(const std::map<std::string, std::string> &files)
{
    std::string text;
    for (const auto &[name, bytes] : files)
        text += "\n  " + name + ": [" + Visible(bytes) + "]";
    return text.empty() ? " none" : text;
}

class StartFile : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string source = folder.File("src");
    std::string install = folder.File("out");

    void SetUp() override
    {
        std::filesystem::create_directories(source);
        std::filesystem::create_directories(install);
    }

    // The template lies where setup looks for it: the source directory, a backslash and
    // start.ini. (On Linux the backslash is part of a file name beside the folder.)
    std::string TemplatePath() const { return source + "\\start.ini"; }

    void Expect(const char *name, const std::string &templateText,
                std::map<std::string, std::string> expected)
    {
        std::filesystem::remove_all(install);
        std::filesystem::create_directories(install);
        WriteBytes(TemplatePath(), Native(templateText));
        EXPECT_EQ(0, ExpandStartFile(source.c_str(), install.c_str())) << name;
        for (auto &[file, bytes] : expected)
            bytes = Replace(Native(bytes), "{I}", install);
        auto got = FilesIn(install);
        EXPECT_EQ(expected, got) << name << "\nexpected:" << DescribeFiles(expected)
                                 << "\ngot:" << DescribeFiles(got);
        // The template is closed again: a new reader can open.
        int reader = LineFileOpenRead(TemplatePath().c_str());
        EXPECT_GE(reader, 0) << name << ": the template was left open";
        LineFileCloseRead(reader);
    }
};

TEST_F(StartFile, Grammar)
{
    Expect("text, path and file lines",
           ":%path%/a.ini\n[Main]\n%path%/bin\nHome=x\n",
           {{"a.ini", "[Main]\r\n{I}/bin\r\nHome=x\r\n"}});
    Expect("markers in any letter case",
           ":%PATH%/a.ini\n%Path%/x\n%pATh%\n:%Path%/b.ini\nb\n",
           {{"a.ini", "{I}/x\r\n{I}\r\n"}, {"b.ini", "b\r\n"}});
    Expect("path line of the marker alone", ":%path%/a.ini\n%path%\n", {{"a.ini", "{I}\r\n"}});
    Expect("nothing is put between directory and rest",
           ":%path%/a.ini\n%path%tail\n", {{"a.ini", "{I}tail\r\n"}});
    Expect("markers elsewhere are plain text",
           ":%path%/a.ini\n %path%/x\nx=%path%\n\t:%path%/b.ini\n",
           {{"a.ini", " %path%/x\r\nx=%path%\r\n\t:%path%/b.ini\r\n"}});
    Expect("colon and percent lines that are not whole markers are dropped",
           ":%path%/a.ini\n:comment\n%pat\n:%path\n%%\n%\n:\n:%pathx%/b.ini\nkept\n",
           {{"a.ini", "kept\r\n"}});
    Expect("lines before the first file line are dropped",
           "Text before\n%path%/early\n:%path%/a.ini\ninside\n",
           {{"a.ini", "inside\r\n"}});
    Expect("trailing blanks go, tabs and leading blanks stay",
           ":%path%/a.ini   \n  x=1   \ny=\t\n%path%/z  \n",
           {{"a.ini", "  x=1\r\ny=\t\r\n{I}/z\r\n"}});
    Expect("empty template", "", {});
    Expect("only text, no file line", "some\ntext\n", {});
}

TEST_F(StartFile, LeadingShortLines)
{
    Expect("short lines skipped until a longer one, then kept",
           "\n\nx\n \n:%path%/a.ini\n\nq\n\n%\nend\n",
           {{"a.ini", "\r\nq\r\n\r\nend\r\n"}});
    // Whatever kind the first long line is, it starts the counting: here a text line that
    // has no output file.
    Expect("first long line is plain text",
           "y\nab\n\n:%path%/a.ini\n\nz\n",
           {{"a.ini", "\r\nz\r\n"}});
    Expect("a one-character marker line is just short",
           ":\n%\n:%path%/a.ini\nv\n", {{"a.ini", "v\r\n"}});
}

TEST_F(StartFile, OutputFiles)
{
    Expect("a repeated file line starts the file afresh",
           ":%path%/a.ini\nfirst\n:%path%/b.ini\nbee\n:%path%/a.ini\nsecond\n",
           {{"a.ini", "second\r\n"}, {"b.ini", "bee\r\n"}});
    Expect("file line without a name opens nothing; lines up to the next are dropped",
           ":%path%\nlost\n%path%/lost\n:%path%/a.ini\nkept\n",
           {{"a.ini", "kept\r\n"}});
    Expect("file in a missing directory opens nothing",
           ":%path%/nodir/a.ini\nlost\n:%path%/b.ini\nkept\n",
           {{"b.ini", "kept\r\n"}});
    Expect("empty output file", ":%path%/a.ini\n:%path%/b.ini\nb\n",
           {{"a.ini", ""}, {"b.ini", "b\r\n"}});

    WriteBytes(install + PathSeparator + "a.ini", std::string(3000, 'o'));
    WriteBytes(TemplatePath(), Native(":%path%/a.ini\nnew\n"));
    ASSERT_EQ(0, ExpandStartFile(source.c_str(), install.c_str()));
    EXPECT_EQ("new\r\n", ReadBytes(install + PathSeparator + "a.ini"))
        << "an existing output file is emptied and rewritten";
}

TEST_F(StartFile, EveryTemplateLineEndGivesCrLf)
{
    const std::string lines[] = {":%PATH%/a.ini", "x", "", "%path%/d", "last"};
    const struct {
        const char *name;
        const char *end;
    } variants[] = {{"LF", "\n"}, {"CR", "\r"}, {"CR LF", "\r\n"}};
    for (const auto &v : variants) {
        std::string text;
        for (const auto &line : lines)
            text += line + v.end;
        Expect(v.name, text, {{"a.ini", "x\r\n\r\n{I}/d\r\nlast\r\n"}});
        Expect((std::string(v.name) + " without a final line end").c_str(),
               text.substr(0, text.size() - strlen(v.end)),
               {{"a.ini", "x\r\n\r\n{I}/d\r\nlast\r\n"}});
    }
}

TEST_F(StartFile, TemplatePathAndMissingTemplate)
{
    // A source directory that ends in a backslash gets no second one.
    WriteBytes(TemplatePath(), Native(":%path%/a.ini\nfound\n"));
    EXPECT_EQ(0, ExpandStartFile((source + "\\").c_str(), install.c_str()));
    EXPECT_EQ("found\r\n", ReadBytes(install + PathSeparator + "a.ini"));

    std::filesystem::remove(TemplatePath());
    std::filesystem::remove_all(install);
    std::filesystem::create_directories(install);
    EXPECT_EQ(-1, ExpandStartFile(source.c_str(), install.c_str()));
    EXPECT_TRUE(FilesIn(install).empty()) << DescribeFiles(FilesIn(install));
    int reader = LineFileOpenRead(folder.File("x").c_str());
    EXPECT_EQ(-1, reader) << "a reader was left open";
}

// The longest texts that can arise: a directory of 199 characters with the longest rest a
// template line can hold. Nothing may be cut.
TEST_F(StartFile, LongestDirectoryAndLinesAreKeptWhole)
{
    std::string longInstall = install + PathSeparator;
    longInstall += std::string(199 - longInstall.size(), 'd');
    ASSERT_EQ(199u, longInstall.size());
    install = longInstall;
    std::string rest(LineFileMaxLine - 6, 'r');  // a path line of 190 characters
    std::string text(LineFileMaxLine, 't');
    Expect("199-character install directory",
           ":%path%/a.ini\n%path%" + rest + "\n" + text + "\n",
           {{"a.ini", "{I}" + rest + "\r\n" + text + "\r\n"}});
}

} // namespace
