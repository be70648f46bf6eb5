// medium-check from outside, on small media made in a temporary folder: the exit codes,
// one case for each kind of finding (the shortcuts' files among them), every limit of the copy reached and then passed, and
// the preview against what setup's own expansion writes.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "config/linefile.h"
#include "config/startfile.h"
#include "paths.h"
#include "platform.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int exitCode;
    std::string output;
};

std::string Quoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the checker with `environment` ("NAME=value ...", shell-quoted) before it, stdin
// closed, and ends it after a minute: a checker that waits on an entry fails, not hangs.
Outcome RunCheck(const std::vector<std::string> &arguments, const std::string &environment = "")
{
    std::string command = environment + "timeout -k 5 60 " + Quoted(MEDIUM_CHECK);
    for (const std::string &argument : arguments)
        command += " " + Quoted(argument);
    Outcome outcome{-1, ""};
    FILE *pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
    if (!pipe)
        return outcome;
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, pipe)) > 0)
        outcome.output.append(block, got);
    int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

bool HasLine(const std::string &output, const std::string &start, const std::string &part)
{
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(start, 0) == 0 && line.find(part) != std::string::npos)
            return true;
    return false;
}

// A medium in a folder of its own, removed with everything in it.
class Medium {
public:
    Medium()
    {
        char name[] = "/tmp/veltrane-medium-XXXXXX";
        root_ = mkdtemp(name) ? name : "";
    }
    ~Medium() { fs::remove_all(root_); }
    Medium(const Medium &) = delete;
    Medium &operator=(const Medium &) = delete;

    std::string Path(const std::string &relative = "") const
    {
        return relative.empty() ? root_ : root_ + "/" + relative;
    }
    // The medium's path as setup sees it under Wine.
    std::string WindowsPath(const std::string &relative = "") const
    {
        std::string path = "Z:" + Path(relative);
        for (char &c : path)
            if (c == '/')
                c = '\\';
        return path;
    }
    void Folder(const std::string &relative) const { fs::create_directories(Path(relative)); }
    void File(const std::string &relative, const std::string &bytes = "") const
    {
        fs::create_directories(fs::path(Path(relative)).parent_path());
        std::ofstream(Path(relative), std::ios::binary) << bytes;
    }
    // A file of `size` bytes that takes no room on disk.
    void Sparse(const std::string &relative, uintmax_t size) const
    {
        File(relative);
        fs::resize_file(Path(relative), size);
    }
    // A name that makes the list path of veltrane\<name> exactly `length` characters.
    std::string NameForListPath(size_t length) const
    {
        return std::string(length - WindowsPath("veltrane").size() - 1, 'n');
    }

private:
    std::string root_;
};

struct FindingCase {
    const char *name;
    std::function<void(const Medium &)> make;
    std::vector<std::string> options;
    int exitCode;
    std::string summary;
    std::string start;  // how the finding's line begins: where and what
    std::string part;   // and a piece of its text
};

const char CleanTemplate[] = ":%path%\\a.ini\r\n[A]\r\n%path%\\sub\r\n";

// The programs and help files that the program group's shortcuts name, one in other
// letter case, as Windows finds it all the same.
void SuiteFiles(const Medium &m, const std::string &top)
{
    for (const char *name : {"orvane.exe", "schemed.exe", "router.exe", "GerbView.EXE",
                             "partlib.exe", "unvelt.exe", "orvane.hlp", "router.hlp",
                             "schemed.hlp", "gerbview.hlp"})
        m.File(top + name);
}

void CopyMedium(const Medium &m, const std::string &templateText = CleanTemplate)
{
    m.File("veltrane/start.ini", templateText);
    SuiteFiles(m, "veltrane/");
}

void InPlaceMedium(const Medium &m, const std::string &templateText)
{
    m.File("start.ini", templateText);
    SuiteFiles(m, "");
}

// A template whose first file lines name "<lead byte>\..\<file>" for each of `leads`,
// then the same for each of `others`, then a file whose name ends in a lone lead byte.
std::string LeadByteTemplate(const std::string &leads, const std::string &others)
{
    std::string text;
    int file = 0;
    for (char byte : leads + others)
        text += ":%path%\\" + std::string(1, byte) + "\\..\\f" + std::to_string(++file) +
                ".ini\r\n";
    return text + ":%path%\\last" + leads.substr(0, 1) + "\r\n";
}

TEST(MediumCheck, FindingsExitCodesAndSummaries)
{
    const std::string copy = "--copy-mode";
    const std::vector<FindingCase> cases = {
        {"clean, in place",
         [](const Medium &m) {
             m.Folder("layout");
             InPlaceMedium(m, "\n:%path%\\orvane.ini\n%PATH%\\layout\n"
                              ":%path%\\LAYOUT\\router.ini\nGrid=25\n");
         },
         {}, 0, "0 errors, 0 warnings", "", ""},
        {"line before the first file line",
         [](const Medium &m) { InPlaceMedium(m, "[A]\n:%path%\\a.ini\n"); }, {}, 1,
         "0 errors, 1 warning", "start.ini:1: warning: ", "comes before the first file line"},
        {"one character at the head", [](const Medium &m) { InPlaceMedium(m, "x\n:%path%\\a\n"); },
         {}, 1, "0 errors, 1 warning", "start.ini:1: warning: ", "before the first file line"},
        {"partial marker",
         [](const Medium &m) { InPlaceMedium(m, ":%path%\\a.ini\n:%pat\\b.ini\n"); }, {}, 1,
         "0 errors, 1 warning", "start.ini:2: warning: ", "begins with ':' but not with"},
        {"folder missing from the medium, and the lines after it",
         [](const Medium &m) { InPlaceMedium(m, ":%path%\\none\\a.ini\nk=1\n\nk=2\n"); }, {}, 2,
         "1 error, 2 warnings", "start.ini:1: error: ", "none does not exist in the medium"},
        {"line dropped after a file that cannot be made",
         [](const Medium &m) { InPlaceMedium(m, ":%path%\\none\\a.ini\nk=1\n"); }, {}, 2,
         "1 error, 1 warning", "start.ini:2: warning: ", "the file of line 1 cannot be created"},
        {"file line without a file name", [](const Medium &m) { InPlaceMedium(m, ":%path%\n"); },
         {}, 2, "1 error, 0 warnings", "start.ini:1: error: ", "not a file in the install"},
        {"line of more than 190 characters",
         [](const Medium &m) { InPlaceMedium(m, ":%path%\\a.ini\n" + std::string(200, 'v')); },
         {}, 1, "0 errors, 1 warning", "start.ini:2: warning: ", "has 200 characters"},
        {"a character of two bytes cut at the line's limit, which no NUL byte cut",
         [](const Medium &m) {
             InPlaceMedium(m, ":%path%\\a.ini\n" + std::string(189, 'v') + "\x82\xa0" +
                                  std::string(9, 'v'));
         },
         {"--codepage", "932"}, 1, "0 errors, 1 warning", "start.ini:2: warning: ",
         "has 200 characters"},
        {"a NUL byte in a text line and in a file line's name",
         [](const Medium &m) {
             static const char text[] = ":%path%\\a.ini\nx\0y\n:%path%\\b\0.ini\nz\n";
             InPlaceMedium(m, std::string(text, sizeof text - 1));
         },
         {}, 2, "2 errors, 0 warnings", "start.ini:3: error: ",
         "NUL byte in column 10: setup ends the line there and creates"},
        {"file started again",
         [](const Medium &m) { InPlaceMedium(m, ":%path%\\a.ini\nx\n:%path%\\A.INI\n"); }, {},
         1, "0 errors, 1 warning", "start.ini:3: warning: ", "what line 1 started is lost"},
        {"file beside the install directory",
         [](const Medium &m) { InPlaceMedium(m, ":%path%a.ini\nx\n"); }, {}, 1,
         "0 errors, 1 warning", "start.ini:1: warning: ", "(no backslash after the marker)"},
        {"no template", [](const Medium &m) { SuiteFiles(m, ""); }, {}, 2,
         "1 error, 0 warnings", "start.ini: error: ", "missing or unreadable"},
        {"blank in the in-place folder",
         [](const Medium &m) { InPlaceMedium(m, CleanTemplate); },
         {"--install-dir", "C:\\my suite"}, 2, "1 error, 0 warnings", "C:\\my suite: error: ",
         "holds a blank"},
        {"in-place folder too long for setup",
         [](const Medium &m) { InPlaceMedium(m, CleanTemplate); },
         {"--install-dir", "C:\\" + std::string(147, 'i')}, 2, "1 error, 0 warnings", "C:\\",
         "path of 150 characters"},
        // A second byte 0x5C after each lead byte at the ends of the code page's ranges is
        // part of a name; after a byte just outside them, a separator; a lead byte that
        // ends a name has no second byte.
        {"lead bytes at the ends of code page 932's ranges",
         [](const Medium &m) { InPlaceMedium(m, LeadByteTemplate("\x81\x9f\xe0\xfc", "\x80\xa0\xdf\xfd")); },
         {"--codepage", "932"}, 2, "5 errors, 0 warnings", "start.ini:4: error: ",
         "a character of two bytes ends in 0x5C"},
        {"lead bytes at the ends of code page 936's range",
         [](const Medium &m) { InPlaceMedium(m, LeadByteTemplate("\x81\xfe", "\x80\xff")); },
         {"--codepage", "936"}, 2, "3 errors, 0 warnings", "start.ini:2: error: ", "0x5C"},
        {"lead bytes at the ends of code page 949's range",
         [](const Medium &m) { InPlaceMedium(m, LeadByteTemplate("\x81\xfe", "\x80\xff")); },
         {"--codepage", "949"}, 2, "3 errors, 0 warnings", "start.ini:5: error: ",
         "ends in a lead byte of code page 949 without its second byte"},
        {"lead bytes at the ends of code page 950's range",
         [](const Medium &m) { InPlaceMedium(m, LeadByteTemplate("\x81\xfe", "\x80\xff")); },
         {"--codepage", "950"}, 2, "3 errors, 0 warnings", "start.ini:1: error: ", "0x5C"},
        {"clean, copy mode", [](const Medium &m) { CopyMedium(m); }, {copy}, 0,
         "0 errors, 0 warnings", "", ""},
        {"no veltrane folder", [](const Medium &m) { InPlaceMedium(m, CleanTemplate); }, {copy},
         2, "1 error, 0 warnings", "veltrane: error: ", "setup-copy finds nothing"},
        {"blank in the chosen install directory", [](const Medium &m) { CopyMedium(m); },
         {copy, "--install-dir", "C:\\my suite"}, 2, "1 error, 0 warnings",
         "C:\\my suite: error: ", "refuses an install directory that holds a blank"},
        // Judged by setup's own judgement of the directory page's entry.
        {"a device name in the chosen install directory", [](const Medium &m) { CopyMedium(m); },
         {copy, "--install-dir", "C:\\nul\\v"}, 2, "1 error, 0 warnings",
         "C:\\nul\\v: error: ", "holds a device name: nul"},
        {"a device name in the in-place folder",
         [](const Medium &m) { InPlaceMedium(m, CleanTemplate); },
         {"--install-dir", "C:\\suite\\aux.dir"}, 2, "1 error, 0 warnings",
         "C:\\suite\\aux.dir: error: ", "holds a device name: aux.dir"},
        {"hidden file", [](const Medium &m) {
             CopyMedium(m);
             m.File("veltrane/.secret");
         },
         {copy}, 1, "0 errors, 1 warning", "veltrane\\.secret: warning: ", "hidden file"},
        {"output into a folder that is not copied",
         [](const Medium &m) {
             CopyMedium(m, ":%path%\\.cfg\\a.ini\n");
             m.Folder("veltrane/.cfg");
         },
         {copy}, 2, "1 error, 1 warning", "veltrane\\start.ini:1: error: ",
         "its folder .cfg is not copied"},
        {"3001 entries",
         [](const Medium &m) {
             CopyMedium(m);  // 11 entries, and the folder f
             for (int i = 0; i < 2989; i++)
                 m.File("veltrane/f/" + std::to_string(i));
         },
         {copy}, 2, "1 error, 0 warnings", "veltrane: error: ", "(at least 1 too many)"},
        {"list path of 128 characters",
         [](const Medium &m) {
             CopyMedium(m);
             m.File("veltrane/" + m.NameForListPath(128));
         },
         {copy}, 2, "1 error, 0 warnings", "veltrane\\nnn", "list path of 128 characters"},
        {"129 sub-folders",
         [](const Medium &m) {
             CopyMedium(m);
             for (int i = 0; i < 129; i++)
                 m.Folder("veltrane/d/s" + std::to_string(i));
         },
         {copy}, 2, "1 error, 0 warnings", "veltrane\\d\\s", "sub-folder number 129"},
        {"folder name of 64 characters",
         [](const Medium &m) {
             CopyMedium(m);
             m.Folder("veltrane/" + std::string(64, 'x'));
         },
         {copy}, 2, "1 error, 0 warnings", "veltrane\\xxx", "folder name of 64 characters"},
        {"folder name of 40 bytes in code page 1252 (80 in UTF-8), list path of 127",
         [](const Medium &m) {
             CopyMedium(m);
             std::string folder;
             for (int i = 0; i < 40; i++)
                 folder += "\xc3\xa9";
             m.File("veltrane/" + folder + "/" + m.NameForListPath(127).substr(41));
         },
         {copy}, 0, "0 errors, 0 warnings", "", ""},
        {"in place, a path of 260 characters in the install directory; a folder of 259",
         [](const Medium &m) {
             InPlaceMedium(m, CleanTemplate);
             m.Folder(std::string(250, 'a'));
             m.File(std::string(249, 'b') + "/x");
         },
         {"--install-dir", "C:\\suite"}, 2, "1 error, 0 warnings",
         std::string(249, 'b') + "\\x: error: ", "a path of 260 characters"},
        {"file of 2 GiB",
         [](const Medium &m) {
             CopyMedium(m);
             m.Sparse("veltrane/big.bin", 2147483648u);
         },
         {copy}, 2, "1 error, 0 warnings", "veltrane\\big.bin: error: ", "2147483648 bytes"},
        {"a program that two shortcuts start is missing",
         [](const Medium &m) {
             InPlaceMedium(m, CleanTemplate);
             fs::remove(m.Path("router.exe"));
         },
         {}, 1, "0 errors, 1 warning", "router.exe: warning: not on the medium, so ",
         "shortcuts \"Autorouter\", \"Interactive Router\" lead to nothing"},
        {"a help file is missing, copy mode",
         [](const Medium &m) {
             CopyMedium(m);
             fs::remove(m.Path("veltrane/orvane.hlp"));
         },
         {copy}, 1, "0 errors, 1 warning", "veltrane\\orvane.hlp: warning: ",
         "shortcut \"Orvane Manager Help\" leads to nothing"},
        {"a folder in the place of a program",
         [](const Medium &m) {
             CopyMedium(m);
             fs::remove(m.Path("veltrane/unvelt.exe"));
             m.Folder("veltrane/unvelt.exe");
         },
         {copy}, 1, "0 errors, 1 warning", "veltrane\\unvelt.exe: warning: ",
         "\"Uninstall Veltrane\""},
    };
    for (const FindingCase &c : cases) {
        Medium medium;
        c.make(medium);
        std::vector<std::string> arguments = {medium.Path()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        Outcome outcome = RunCheck(arguments);
        EXPECT_EQ(c.exitCode, outcome.exitCode) << c.name << ":\n" << outcome.output;
        EXPECT_TRUE(HasLine(outcome.output, c.summary, ""))
            << c.name << ": expected \"" << c.summary << "\" in\n" << outcome.output;
        if (!c.start.empty()) {
            EXPECT_TRUE(HasLine(outcome.output, c.start, c.part))
                << c.name << ": expected a line \"" << c.start << "...\" with \"" << c.part
                << "\" in\n" << outcome.output;
        }
    }
}

TEST(MediumCheck, EveryLimitOfTheCopyReachedButNonePassed)
{
    Medium m;
    CopyMedium(m);                                          // 11 entries
    for (int i = 0; i < 128; i++)                           // 129
        m.Folder("veltrane/d/s" + std::to_string(i));
    m.Folder("veltrane/" + std::string(63, 'x'));           // 1
    m.File("veltrane/" + m.NameForListPath(127));           // 1
    m.Sparse("veltrane/big.bin", 2147483647u);              // 1
    m.File("veltrane/readonly.txt");                        // 1
    fs::permissions(m.Path("veltrane/readonly.txt"), fs::perms::owner_read);
    for (int i = 0; i < 3000 - 145; i++)                    // 1 + 2855
        m.File("veltrane/f/" + std::to_string(i));

    Outcome outcome = RunCheck({m.Path(), "--copy-mode"});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_TRUE(HasLine(outcome.output, "0 errors, 0 warnings", "")) << outcome.output;
}

TEST(MediumCheck, ArgumentsThatCannotBeUsed)
{
    Medium m;
    m.File("out/taken.txt");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {m.Path("missing")},
        {m.Path(), "--colour"},
        {m.Path(), "--install-dir"},
        {m.Path(), m.Path()},
        {m.Path(), "--preview", m.Path("out")},
        // Values that are no ANSI code page of Windows, refused with the list of those that are.
        {m.Path(), "--codepage", "932x"},
        {m.Path(), "--codepage", "abc"},
        {m.Path(), "--codepage", "65001"},
        {m.Path(), "--codepage", "0932"},
        {m.Path(), "--codepage", ""},
        {m.Path(), "--codepage", "-1252"},
    };
    for (const std::vector<std::string> &arguments : cases) {
        Outcome outcome = RunCheck(arguments);
        std::string shown;
        for (const std::string &argument : arguments)
            shown += " " + argument;
        EXPECT_EQ(2, outcome.exitCode) << "medium-check" << shown << ":\n" << outcome.output;
        bool codePage = arguments.size() == 3 && arguments[1] == "--codepage";
        EXPECT_TRUE(HasLine(outcome.output, "medium-check: ",
                            codePage ? "known: 874 932 936 949 950 1250 1251 1252" : ""))
            << "medium-check" << shown << ":\n" << outcome.output;
    }
}

std::map<std::string, std::string> FilesBelow(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(entry.path(), folder).string()] = bytes.str();
    }
    return files;
}

int MapToLocal(const char *path, int, char *mapped, int size)
{
    return LocalPath(path, mapped, size);
}

TEST(MediumCheck, PreviewHoldsWhatTheExpansionWrites)
{
    Medium m;
    m.Folder("medium/layout");
    m.Folder("medium/Library");
    m.Folder("medium/empty");
    m.Folder("install/layout");
    m.Folder("install/Library");
    // CR line ends, every kind of line, a file that cannot be made and one outside.
    const std::vector<std::string> lines = {
        "", "x", "[early]", ":%path%\\orvane.ini", "[Orvane]", "%path%", "%PATH%\\layout",
        "", "%pat", ":%PATH%\\library\\partlib.ini", std::string(195, 'w'),
        ":%path%\\missing\\no.ini", "lost", ":%path%\\layout\\router.ini", "Grid=25   ",
        ":%path%\\..\\evil.ini", "evil", ":%path%\\ORVANE.ini", "again",
    };
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r";
    m.File("medium/start.ini", text);
    std::string install = m.WindowsPath("install");

    Outcome outcome = RunCheck({m.Path("medium"), "--install-dir", install, "--preview",
                                m.Path("preview")});
    EXPECT_EQ(2, outcome.exitCode) << outcome.output;
    EXPECT_FALSE(fs::exists(m.Path("evil.ini"))) << "the preview wrote outside its folder";

    LineFileMapPaths(MapToLocal);
    int expanded = ExpandStartFile(m.WindowsPath("medium").c_str(), install.c_str());
    LineFileMapPaths(0);
    ASSERT_EQ(0, expanded);

    std::map<std::string, std::string> setupWrote = FilesBelow(m.Path("install"));
    std::map<std::string, std::string> preview = FilesBelow(m.Path("preview"));
    EXPECT_EQ(3u, setupWrote.size());
    EXPECT_EQ(setupWrote, preview);
    EXPECT_TRUE(preview.count("Library/partlib.ini"));
    EXPECT_EQ("again\r\n", preview["orvane.ini"]);
    // Folders that received nothing are not left in the preview.
    EXPECT_FALSE(fs::exists(m.Path("preview/empty")));
}

// Every file of a folder tree with its bytes, every folder, every link with its target
// (links are not followed) and every other entry with its type (never opened).
std::map<std::string, std::string> Snapshot(const std::string &folder)
{
    std::map<std::string, std::string> snapshot;
    for (const auto &entry : fs::recursive_directory_iterator(folder)) {
        std::string relative = fs::relative(entry.path(), folder).string();
        if (entry.is_symlink()) {
            snapshot[relative] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            snapshot[relative + "/"] = "";
        } else if (!entry.is_regular_file()) {
            snapshot[relative] = "type " + std::to_string((int)entry.status().type());
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            snapshot[relative] = bytes.str();
        }
    }
    return snapshot;
}

TEST(MediumCheck, NoTemplateWritesIntoTheMedium)
{
    Medium m;
    m.Folder("medium/layout");
    m.File("medium/layout/router.ini", "Grid=25\r\n");
    m.File("medium/veltrane/layout/router.ini", "Grid=25\r\n");
    std::string preview = m.Path("preview");
    std::string back = "";  // from the preview folder up to the root
    for (char c : preview)
        if (c == '/')
            back += "\\..";
    const std::string medium = m.WindowsPath("medium").substr(2);
    const std::vector<std::string> targets = {
        back + medium + "\\start.ini",                     // the template, climbed back to
        back + medium + "\\veltrane\\start.ini",           // copy mode's template
        "\\..\\" + medium.substr(1) + "\\layout\\router.ini",
        back + medium + "\\layout",                        // a folder of the medium
        back + medium,                                     // the medium itself
        "Z:" + medium + "\\start.ini",                     // absolute paths
        "\\Z:" + medium + "\\start.ini",
        "\\\\" + medium.substr(1) + "\\layout\\router.ini",
        "\\.." + back + medium + "\\layout\\new.ini",      // a new file in the medium
    };
    std::string text = ":%path%\\a.ini\r\nfirst\r\n";
    for (const std::string &target : targets)
        text += ":%path%" + target + "\r\nhostile\r\n";
    m.File("medium/start.ini", text);
    m.File("medium/veltrane/start.ini", text);
    std::map<std::string, std::string> before = Snapshot(m.Path("medium"));

    const std::vector<std::vector<std::string>> runs = {
        {m.Path("medium"), "--preview", preview},
        {m.Path("medium"), "--copy-mode", "--preview", preview + "2"},
        {m.Path("medium"), "--install-dir", m.WindowsPath("medium")},
        {m.Path("medium"), "--copy-mode", "--install-dir", m.WindowsPath("medium/veltrane")},
        {m.Path("medium/veltrane")},
        {m.Path("medium"), "--preview", m.Path("medium/layout/new")},
        {m.Path("medium"), "--preview", m.Path("medium")},
    };
    for (const std::vector<std::string> &run : runs) {
        Outcome outcome = RunCheck(run);
        EXPECT_EQ(2, outcome.exitCode) << run.back() << ":\n" << outcome.output;
        EXPECT_EQ(before, Snapshot(m.Path("medium"))) << "written into by a check with "
                                                      << run.back() << ":\n" << outcome.output;
    }
    EXPECT_TRUE(HasLine(RunCheck(runs.back()).output, "medium-check: ", "lies in the medium"));
}

// A socket's entry in the file system, left behind by a server that has gone.
void Socket(const std::string &path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    int server = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(0, bind(server, (sockaddr *)&address, sizeof address)) << path;
    close(server);
}

// Media that try to make the checker write elsewhere, loop, wait, or pass what setup
// refuses. The root holds the medium, a sibling folder, the folder for scratch work (TMPDIR)
// and the preview folder "out": whatever the medium holds and whatever path names the output,
// nothing but "out" changes (the scratch folder is made and removed in "tmp").
TEST(MediumCheck, HostileMediaChangeNothingOutsideTheOutput)
{
    struct HostileCase {
        const char *name;
        std::function<void(const Medium &)> make;  // below "medium/", or anywhere in the root
        std::vector<std::string> options;          // "@" at the start stands for the root
        int exitCode;
        std::string start;  // how a line of the output begins
        std::string part;   // and a piece of its text
        std::string tmpdir = "tmp";
        bool emptyPreview = false;  // "out" is left empty
    };
    auto inPlace = [](const Medium &m) {
        m.File("medium/start.ini", CleanTemplate);
        SuiteFiles(m, "medium/");
    };
    auto copyMode = [](const Medium &m) {
        m.File("medium/veltrane/start.ini", CleanTemplate);
        SuiteFiles(m, "medium/veltrane/");
    };
    const std::string escapes[] = {"..\\sibling\\EVIL", "..\\..\\sibling\\EVIL",
                                   "\\..\\..\\sibling\\EVIL"};
    std::string deep;
    for (int i = 0; i < 70; i++)
        deep += "d/";
    const std::string copy = "--copy-mode";
    std::vector<HostileCase> cases = {
        {"folders named with backslashes and dots, in place",
         [&](const Medium &m) {
             inPlace(m);
             for (const std::string &name : escapes)
                 m.Folder("medium/" + name);
         },
         {}, 2, "..\\sibling\\EVIL: error: ", "holds '\\'"},
        {"the same with a preview",
         [&](const Medium &m) {
             inPlace(m);
             for (const std::string &name : escapes)
                 m.Folder("medium/" + name);
         },
         {"--preview", "@/out"}, 2, "..\\..\\sibling\\EVIL: error: ", "holds '\\'"},
        {"folders named with backslashes and dots, copy mode",
         [&](const Medium &m) {
             copyMode(m);
             for (const std::string &name : escapes)
                 m.Folder("medium/veltrane/" + name + "/x");
         },
         {copy, "--preview", "@/out"}, 2, "veltrane\\\\..\\..\\sibling\\EVIL: error: ",
         "holds '\\'"},
        {"a preview of a tree that setup-copy refuses",
         [&](const Medium &m) {
             copyMode(m);
             for (int i = 0; i < 2990; i++)
                 m.File("medium/veltrane/f/" + std::to_string(i));
         },
         {copy, "--preview", "@/out"}, 2, "medium-check: nothing in the preview: ",
         "refuses the tree", "tmp", true},
        {"a preview path one byte longer than setup's buffer",
         [&](const Medium &m) { inPlace(m); },
         {"--preview", "@/" + std::string(200 - strlen("Z:/tmp/veltrane-medium-XXXXXX/"), 'p')},
         2, "medium-check: ", "the preview folder's path is too long"},
        {"links back up the tree, in place",
         [&](const Medium &m) {
             inPlace(m);
             m.Folder("medium/a");
             m.Folder("medium/b");
             fs::create_directory_symlink("..", m.Path("medium/a/up"));
             fs::create_directory_symlink("..", m.Path("medium/b/up"));
             fs::create_directory_symlink("../../sibling", m.Path("medium/a/out"));
         },
         {"--preview", "@/out"}, 2, "a\\up: error: ", "a link, not followed"},
        {"links back up the tree, copy mode",
         [&](const Medium &m) {
             copyMode(m);
             for (const char *folder : {"a", "b", "c"}) {
                 m.Folder(std::string("medium/veltrane/") + folder);
                 fs::create_directory_symlink(
                     "..", m.Path(std::string("medium/veltrane/") + folder + "/up"));
             }
         },
         {copy}, 2, "veltrane\\b\\up: error: ", "a link, not followed"},
        {"a template line into a link to a sibling",
         [&](const Medium &m) {
             m.File("medium/start.ini", ":%path%\\layout\\x.ini\r\nhostile\r\n");
             fs::create_directory_symlink("../sibling", m.Path("medium/layout"));
         },
         {"--preview", "@/out"}, 2, "start.ini:1: error: ", "its folder layout is not copied"},
        {"preview through a link into the medium",
         [&](const Medium &m) {
             inPlace(m);
             fs::create_directory_symlink("medium", m.Path("alias"));
         },
         {"--preview", "@/alias/out"}, 2, "medium-check: ", "lies in the medium"},
        {"preview is the medium through a link",
         [&](const Medium &m) {
             inPlace(m);
             fs::create_directory_symlink("medium", m.Path("alias"));
         },
         {"--preview", "@/alias"}, 2, "medium-check: ", "lies in the medium"},
        {"preview names an empty folder of the medium in other letter case",
         [&](const Medium &m) {
             inPlace(m);
             m.Folder("medium/OUT");
         },
         {"--preview", "@/medium/out"}, 2, "medium-check: ", "lies in the medium"},
        {"preview folder holds the medium",
         [&](const Medium &m) { inPlace(m); }, {"--preview", "@"}, 2, "medium-check: ", ""},
        {"scratch folder would lie in the medium",
         [&](const Medium &m) {
             inPlace(m);
             m.Folder("medium/tmp");
         },
         {}, 2, "medium-check: ", "set TMPDIR", "medium/tmp"},
        {"scratch folder beside the medium",
         [&](const Medium &m) { inPlace(m); }, {}, 0, "0 errors", "", ""},
        {"tree limits through dot-files, as an image shows them",
         [&](const Medium &m) {
             copyMode(m);
             m.File("medium/veltrane/.cache/" + m.NameForListPath(128).substr(14));
         },
         {copy, "--dot-files-visible"}, 2, "veltrane\\.cache\\", "list path of 128"},
        {"tree limits through dot-files, as Wine shows them",
         [&](const Medium &m) {
             copyMode(m);
             m.File("medium/veltrane/.cache/" + m.NameForListPath(128).substr(14));
         },
         {copy}, 1, "veltrane\\.cache\\: warning: ", "hidden folder"},
        {"a device name 70 folders deep",
         [&](const Medium &m) {
             inPlace(m);
             m.File("medium/" + deep + "con.txt");
         },
         {}, 2, "d\\d\\", "\\con.txt: error: reserved device name CON"},
        {"a trail byte 0x5C in code page 932",
         [&](const Medium &m) {
             inPlace(m);
             m.File("medium/\xe8\xa1\xa8");
         },
         {"--codepage", "932"}, 2, "\xe8\xa1\xa8: error: ", "ends in 0x5C, the backslash"},
        {"a trail byte 0x5C in code page 950",
         [&](const Medium &m) {
             inPlace(m);
             m.Folder("medium/\xe8\xa8\xb1");
         },
         {"--codepage", "950"}, 2, "\xe8\xa8\xb1: error: ", "in code page 950"},
        {"the template is a FIFO, in place",
         [&](const Medium &m) {
             SuiteFiles(m, "medium/");
             mkfifo(m.Path("medium/start.ini").c_str(), 0644);
         },
         {}, 2, "start.ini: error: ", "a FIFO"},
        {"a FIFO in the tree, copy mode",
         [&](const Medium &m) {
             copyMode(m);
             mkfifo(m.Path("medium/veltrane/pipe.dat").c_str(), 0644);
         },
         {copy}, 2, "veltrane\\pipe.dat: error: ", "a FIFO"},
        {"a socket, in place",
         [&](const Medium &m) {
             inPlace(m);
             Socket(m.Path("medium/socket"));
         },
         {}, 2, "socket: error: ", "a socket"},
        {"a yen sign, which code page 932 turns into a backslash",
         [&](const Medium &m) {
             inPlace(m);
             m.File("medium/a\xc2\xa5" "b.lib");
         },
         {"--codepage", "932"}, 2, "a\xc2\xa5" "b.lib: error: ", "0x5C"},
        {"two names that code page 932 spells alike",
         [&](const Medium &m) {
             inPlace(m);
             m.File("medium/\xe3\x80\x9c.txt");  // WAVE DASH
             m.File("medium/\xef\xbd\x9e.txt");  // FULLWIDTH TILDE
         },
         {"--codepage", "932"}, 2, "\xe3\x80\x9c.txt: error: ",
         "becomes the name of \xef\xbd\x9e.txt"},
        {"a ';', which a disc image's Joliet names cannot hold",
         [&](const Medium &m) {
             copyMode(m);
             m.File("medium/veltrane/a;1.txt");
         },
         {copy, "--disc-image"}, 2, "veltrane\\a;1.txt: error: ", "';'"},
        {"a preview through '..' after a folder that does not exist",
         [&](const Medium &m) { inPlace(m); }, {"--preview", "@/none/../medium/out"}, 2,
         "medium-check: ", "after a folder that does not exist"},
    };
    // A device needs the right to make one, which a container may lack.
    std::string probe = fs::temp_directory_path() / ("veltrane-mknod-" + std::to_string(getpid()));
    if (mknod(probe.c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0) {
        unlink(probe.c_str());
        cases.push_back({"a character device, copy mode",
                         [&](const Medium &m) {
                             copyMode(m);
                             mknod(m.Path("medium/veltrane/noise.dat").c_str(),
                                   S_IFCHR | 0644, makedev(1, 3));
                         },
                         {copy}, 2, "veltrane\\noise.dat: error: ", "a character device"});
    } else {
        printf("the character-device case is skipped: mknod is refused here (%s)\n",
               strerror(errno));
    }
    for (const HostileCase &c : cases) {
        Medium m;
        m.File("sibling/keep.txt", "sibling");
        m.Folder("tmp");
        c.make(m);
        std::vector<std::string> arguments = {m.Path("medium")};
        for (const std::string &option : c.options)
            arguments.push_back(option[0] == '@' ? m.Path() + option.substr(1) : option);
        std::map<std::string, std::string> before = Snapshot(m.Path());
        Outcome outcome = RunCheck(arguments, "TMPDIR=" + Quoted(m.Path(c.tmpdir)) + " ");
        EXPECT_EQ(c.exitCode, outcome.exitCode) << c.name << ":\n" << outcome.output;
        EXPECT_TRUE(HasLine(outcome.output, c.start, c.part))
            << c.name << ": expected a line \"" << c.start << "...\" with \"" << c.part
            << "\" in\n" << outcome.output;
        std::map<std::string, std::string> after = Snapshot(m.Path());
        for (auto *snapshot : {&before, &after})
            for (auto entry = snapshot->begin(); entry != snapshot->end();)
                entry = entry->first.rfind("out", 0) == 0 ? snapshot->erase(entry) : ++entry;
        EXPECT_EQ(before, after) << c.name << ": changed outside the output folder:\n"
                                 << outcome.output;
        if (c.emptyPreview) {
            EXPECT_TRUE(fs::is_empty(m.Path("out"))) << c.name << ": the preview holds entries";
        }
    }
}

TEST(MediumCheck, NamesAndPathsWindowsCannotTake)
{
    struct Case {
        std::string entry;  // made below veltrane/ in copy mode and below the medium in place
        std::string reported;
        std::string part;
    };
    const std::string tail = "\\a.ini";
    const std::vector<Case> cases = {
        {"\xd0\xb6.txt", "\xd0\xb6.txt: error: ", "code page 1252 cannot spell"},
        {"CON", "CON: error: ", "reserved device name CON"},
        {"con.txt", "con.txt: error: ", "reserved device name CON"},
        {"Lpt9.tar.gz", "Lpt9.tar.gz: error: ", "reserved device name LPT9"},
        {"aux .log", "aux .log: error: ", "reserved device name AUX"},
        {"CLOCK$", "CLOCK$: error: ", "reserved device name CLOCK$"},
        {"conin$.txt", "conin$.txt: error: ", "reserved device name CONIN$"},
        {"CONOUT$", "CONOUT$: error: ", "reserved device name CONOUT$"},
        {"com0", "com0: error: ", "reserved device name COM0"},
        {"LPT0.log", "LPT0.log: error: ", "reserved device name LPT0"},
        {"COM\xc2\xb9", "COM\xc2\xb9: error: ", "reserved device name COM\xc2\xb9"},
        {"lpt\xc2\xb2.txt", "lpt\xc2\xb2.txt: error: ", "reserved device name LPT\xc2\xb2"},
        {"LPT\xc2\xb3", "LPT\xc2\xb3: error: ", "reserved device name LPT\xc2\xb3"},
        {"a<b", "a<b: error: ", "holds '<'"},
        {"a\\b", "a\\b: error: ", "holds '\\'"},
        {"what?", "what?: error: ", "holds '?'"},
        {"a:b", "a:b: error: ", "holds ':'"},
        {"tab\there", "tab\there: error: ", "control character 0x09"},
        {"ends.", "ends.: error: ", "ends in a dot"},
        {"ends ", "ends : error: ", "ends in a blank"},
        {"Readme.TXT", "readme.txt: error: ", "differs from Readme.TXT only in letter case"},
        {"\xc3\x89t\xc3\xa9", "\xc3\xa9t\xc3\xa9: error: ", "differs from \xc3\x89t\xc3\xa9"},
    };
    for (bool copy : {false, true}) {
        Medium m;
        std::string top = copy ? "veltrane/" : "";
        std::string shown = copy ? "veltrane\\" : "";
        m.File(top + "start.ini", ":%path%\\a.ini\r\n");
        m.File(top + "d/readme.txt");
        m.File(top + "d/\xc3\xa9t\xc3\xa9");
        for (const Case &c : cases)
            m.File(top + "d/" + c.entry);
        std::vector<std::string> arguments = {m.Path()};
        if (copy)
            arguments.push_back("--copy-mode");
        Outcome outcome = RunCheck(arguments);
        EXPECT_EQ(2, outcome.exitCode) << outcome.output;
        for (const Case &c : cases) {
            std::string reported = shown + "d\\" + c.reported;
            EXPECT_TRUE(HasLine(outcome.output, reported, c.part))
                << (copy ? "copy mode: " : "in place: ") << "no line \"" << reported
                << "...\" with \"" << c.part << "\" in\n" << outcome.output;
        }
        EXPECT_TRUE(HasLine(outcome.output, std::to_string(cases.size()) + " errors", ""))
            << outcome.output;
    }
    // Another code page spells what 1252 cannot, and cannot spell what 1252 can.
    Medium m;
    InPlaceMedium(m, ":%path%\\a.ini\r\n");
    m.File("\xd0\xb6.txt");
    m.File("caf\xc3\xa9.txt");
    Outcome cyrillic = RunCheck({m.Path(), "--codepage", "1251"});
    EXPECT_TRUE(HasLine(cyrillic.output, "caf\xc3\xa9.txt: error: ", "code page 1251"))
        << cyrillic.output;
    EXPECT_TRUE(HasLine(cyrillic.output, "1 error, 0 warnings", "")) << cyrillic.output;
    // A plain ASCII medium is clean under every code page on the list.
    Medium ascii;
    InPlaceMedium(ascii, ":%path%\\layout\\router.ini\r\nGrid=25\r\n");
    ascii.Folder("layout");
    Outcome listed = RunCheck({"--code-pages"});
    EXPECT_EQ(0, listed.exitCode) << listed.output;
    std::istringstream pages(listed.output);
    int walked = 0;
    for (std::string page; pages >> page; walked++) {
        Outcome outcome = RunCheck({ascii.Path(), "--codepage", page});
        EXPECT_EQ(0, outcome.exitCode) << "code page " << page << ":\n" << outcome.output;
    }
    EXPECT_EQ(14, walked);

    // Generated files: names, and paths measured under the install directory.
    Medium g;
    std::string install = "C:\\" + std::string(96, 'i');  // 99 characters
    g.Folder("veltrane/sub");
    SuiteFiles(g, "veltrane/");
    g.File("veltrane/" + g.NameForListPath(127));
    g.File("veltrane/start.ini",
           ":%path%\\sub\\nul.ini\r\nx\r\n:%path%\\a*.ini\r\n:%path%\\sub \\a.ini\r\n"
           ":%path%\\" + std::string(160, 'p') + "\r\nlost\r\n"
           ":%path%\\" + std::string(159, 'p') + "\r\n:%path%\\sub\\com\xb9.ini\r\n");
    Outcome generated = RunCheck({g.Path(), "--copy-mode", "--install-dir", install});
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"veltrane\\start.ini:1: error: " + install + "\\sub\\nul.ini: \"nul.ini\"",
         "reserved device name NUL"},
        {"veltrane\\start.ini:3: error: ", "\"a*.ini\": holds '*'"},
        {"veltrane\\start.ini:4: error: ", "\"sub \": ends in a blank"},
        {"veltrane\\start.ini:5: error: ", "a path of 260 characters; Windows takes at most 259"},
        {"veltrane\\start.ini:6: warning: ", "the file of line 5 cannot be created"},
        {"veltrane\\start.ini:8: error: ", "\"com\xb9.ini\": reserved device name COM\xc2\xb9"},
        {"5 errors, 1 warning", ""},
    };
    for (const auto &line : expected)
        EXPECT_TRUE(HasLine(generated.output, line.first, line.second))
            << "no line \"" << line.first << "...\" with \"" << line.second << "\" in\n"
            << generated.output;
    // A copied file's target is measured the same way, beyond a directory the page refuses.
    std::string longInstall = "C:\\" + std::string(177, 'i');
    Outcome copied = RunCheck({g.Path(), "--copy-mode", "--install-dir", longInstall});
    size_t target = longInstall.size() + 127 - g.WindowsPath("veltrane").size();
    EXPECT_TRUE(HasLine(copied.output, "veltrane\\nnn",
                        "copied to a path of " + std::to_string(target) + " characters"))
        << copied.output;
}

// A real tree that nobody here wrote: Windows takes every name of the time-zone database.
TEST(MediumCheck, OrdinaryNamesOfARealTreeGiveNoReports)
{
    const std::string zones = "/usr/share/zoneinfo";
    if (!fs::is_directory(zones))
        GTEST_SKIP() << zones << " is not installed";
    Medium m;
    fs::copy(zones, m.Path("zoneinfo"), fs::copy_options::recursive);
    InPlaceMedium(m, ":%path%\\zoneinfo\\America\\zones.ini\r\n%path%\\Etc\\GMT+1\r\n");
    Outcome outcome = RunCheck({m.Path()});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_TRUE(HasLine(outcome.output, "0 errors, 0 warnings", "")) << outcome.output;
}

TEST(MediumCheckPaths, WindowsPathsReadAsWindowsReadsThem)
{
    struct Case {
        const char *path;
        const char *normal;
    };
    const Case cases[] = {
        {"Z:\\a\\.\\b\\..\\c", "Z:\\a\\c"}, {"Z:\\a\\..\\..\\b", "Z:\\b"},
        {"Z:/a//b/", "Z:\\a\\b"},           {"C:", "C:"},
        {"C:\\", "C:\\"},                   {"a\\..\\..\\b", "b"},
    };
    for (const Case &c : cases) {
        char normal[CheckPathSize];
        ASSERT_EQ(0, NormalizePath(c.path, normal, sizeof normal)) << c.path;
        EXPECT_STREQ(c.normal, normal) << c.path;
    }
    EXPECT_TRUE(IsInside("Z:\\out\\a", "Z:\\out"));
    EXPECT_TRUE(IsInside("z:\\OUT\\a", "Z:\\out"));
    EXPECT_TRUE(IsInside("C:\\a", "C:\\"));
    EXPECT_FALSE(IsInside("Z:\\outer\\a", "Z:\\out"));
    EXPECT_FALSE(IsInside("Z:\\out", "Z:\\out"));
}

TEST(MediumCheckPaths, PartsMatchRegardlessOfCaseAsUnderWine)
{
    Medium m;
    m.File("Layout/Router.ini");
    struct Case {
        std::string windows;
        int result;
        std::string local;
    };
    const std::vector<Case> cases = {
        {m.WindowsPath() + "\\LAYOUT\\router.INI", 0, m.Path("Layout/Router.ini")},
        {m.WindowsPath() + "\\layout\\New\\x.ini", 0, m.Path("Layout/New/x.ini")},
        {"z:\\", 0, "/"},
        {"C:\\veltrane", -1, ""},
    };
    for (const Case &c : cases) {
        char local[CheckPathSize] = "";
        EXPECT_EQ(c.result, LocalPath(c.windows.c_str(), local, sizeof local)) << c.windows;
        if (c.result == 0) {
            EXPECT_EQ(c.local, local) << c.windows;
        }
    }
}

}  // namespace
