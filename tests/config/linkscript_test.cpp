// links.inf: its 32 lines byte for byte where their text is fixed, and the rules that tie
// the twelve shortcut lines together.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "config/linkscript.h"
#include "test_files.h"

namespace {

std::vector<std::string> SplitCrLf(const std::string &bytes, std::string *problem)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            *problem = "bytes after the last CR LF: " + Visible(bytes.substr(start));
            break;
        }
        std::string line = bytes.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos)
            *problem = "stray line end in line " + std::to_string(lines.size() + 1);
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

struct Shortcut {
    std::string caption, program, extension, option, directory;
};

// Splits one shortcut line of the form
//   setup.ini, group1,, """caption"" ,""%InstallDir%\command"",,,,""%InstallDir%[\dir]""
bool ParseShortcut(const std::string &line, Shortcut *s)
{
    static const std::regex form(
        R"re(setup\.ini, group1,, """([A-Za-z]+(?: [A-Za-z]+)*)"" ,""%InstallDir%\\)re"
        R"re(([a-z0-9]+)\.(exe|hlp)( /[a-z]+)?"",,,,""%InstallDir%(\\[a-z0-9]+)?"")re");
    std::smatch m;
    if (!std::regex_match(line, m, form))
        return false;
    *s = {m[1], m[2], m[3], m[4], m[5]};
    return true;
}

class LinkScript : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::string path = folder.File("links.inf");

    std::vector<std::string> WriteAndSplit(const char *installDir)
    {
        EXPECT_EQ(0, WriteLinkFile(path.c_str(), installDir));
        std::string problem;
        std::vector<std::string> lines = SplitCrLf(ReadBytes(path), &problem);
        EXPECT_EQ("", problem);
        EXPECT_EQ((size_t)LinkScriptLineCount, lines.size());
        lines.resize(LinkScriptLineCount);
        return lines;
    }
};

TEST_F(LinkScript, FixedLines)
{
    std::vector<std::string> lines = WriteAndSplit("C:\\ABC");
    const struct {
        int number;
        std::string text;
    } fixed[] = {
        {1, ""},
        {2, "; Application: Veltrane"},
        {3, "; Version    : 2.0"},
        {5, "; " + std::string(75, '-')},
        {6, ""},
        {7, "[Version]"},
        {8, "Signature=$Chicago$"},
        {9, "SetupClass=BASE"},
        {10, ""},
        {11, "[Strings]"},
        {12, "InstallDir       = \"C:\\ABC\""},
        {13, ""},
        {14, "[DefaultInstall]"},
        {15, ""},
        {16, "UpdateInis=Product.links"},
        {17, ""},
        {18, "[Product.links]"},
        {19, ""},
        {20, "setup.ini, progman.groups,, \"group1=\"\"Veltrane\"\""},
    };
    for (const auto &f : fixed)
        EXPECT_EQ(f.text, lines[f.number - 1]) << "line " << f.number;
    EXPECT_EQ(';', lines[3][0]) << "line 4: " << lines[3];
    EXPECT_NE(std::string::npos, lines[3].find("Veltrane")) << "line 4: " << lines[3];
}

TEST_F(LinkScript, ShortcutLines)
{
    std::vector<std::string> lines = WriteAndSplit("C:\\ABC");
    Shortcut s[13];  // s[1] .. s[12] are lines 21 .. 32
    for (int i = 1; i <= 12; i++)
        ASSERT_TRUE(ParseShortcut(lines[19 + i], &s[i])) << "line " << 20 + i << ": "
                                                         << lines[19 + i];
    EXPECT_EQ("orvane", s[1].program) << "the first entry is the main program";
    for (int i = 1; i <= 12; i++) {
        bool help = i >= 8 && i <= 11;
        bool option = i == 3 || i == 7;
        bool subDirectory = i == 2 || i == 3 || i == 6 || i == 7;
        EXPECT_EQ(help ? "hlp" : "exe", s[i].extension) << "line " << 20 + i;
        EXPECT_EQ(option, !s[i].option.empty()) << "line " << 20 + i << ": " << s[i].option;
        EXPECT_EQ(subDirectory, !s[i].directory.empty()) << "line " << 20 + i;
    }
    EXPECT_EQ(s[3].program, s[4].program) << "line 24 starts the program of line 23";
    EXPECT_EQ(s[6].program, s[7].program) << "line 27 starts the program of line 26";
    const int helpOf[] = {1, 3, 2, 5};  // lines 28..31: help of lines 21, 23, 22 and 25
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(s[helpOf[i]].program, s[8 + i].program) << "help file of line " << 28 + i;
    std::set<std::string> captions;
    for (int i = 1; i <= 12; i++)
        captions.insert(s[i].caption);
    EXPECT_EQ(12u, captions.size()) << "every entry has its own caption";
}

TEST_F(LinkScript, ExistingFileIsRewrittenWhole)
{
    std::vector<std::string> first = WriteAndSplit("C:\\ABC");
    WriteBytes(path, std::string(20000, 'x') + "\r\n");
    EXPECT_EQ(first, WriteAndSplit("C:\\ABC"));
}

TEST_F(LinkScript, LongestInstallDirectoryIsKeptWhole)
{
    std::string dir = "C:\\" + std::string(196, 'd');
    std::vector<std::string> lines = WriteAndSplit(dir.c_str());
    EXPECT_EQ("InstallDir       = \"" + dir + "\"", lines[11]);
}

// A drive's root, spelled either way, is InstallDir "C:\", and every command and working
// folder that Windows makes of a line names a file or folder of that root.
TEST_F(LinkScript, DriveRootGivesFullPathsOnly)
{
    for (const char *root : {"C:", "C:\\"}) {
        std::vector<std::string> lines = WriteAndSplit(root);
        EXPECT_EQ("InstallDir       = \"C:\\\"", lines[11]) << root;
        for (int i = 20; i < LinkScriptLineCount; i++) {
            std::string &line = lines[i];
            for (size_t at; (at = line.find("%InstallDir%")) != std::string::npos;)
                line.replace(at, 12, "C:\\");
            for (size_t at = line.find("C:"); at != std::string::npos;
                 at = line.find("C:", at + 1)) {
                EXPECT_EQ("C:\\", line.substr(at, 3)) << root << ": " << line;
                EXPECT_NE('\\', line[at + 3]) << root << ": " << line;
            }
        }
        EXPECT_EQ("setup.ini, group1,, \"\"\"Schematic Editor\"\" ,\"\"C:\\schemed.exe\"\",,,,"
                  "\"\"C:\\schematic\"\"",
                  lines[21])
            << root;
    }
}

TEST_F(LinkScript, FailuresWriteNothing)
{
    std::string missing = folder.File("none") + PathSeparator + "links.inf";
    EXPECT_EQ(-1, WriteLinkFile(missing.c_str(), "C:\\ABC"));
    EXPECT_FALSE(FileExists(missing));

    std::string tooLong = "C:\\" + std::string(300, 'd');
    EXPECT_EQ(-1, WriteLinkFile(path.c_str(), tooLong.c_str()));
    EXPECT_FALSE(FileExists(path)) << "a directory that does not fit still made a file";
}

} // namespace
