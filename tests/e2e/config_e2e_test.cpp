// The configuration steps of a real in-place installation: setup.exe runs in a folder
// that holds the suite, a start.ini and brindle; after the licence is accepted the
// generated files, links.inf and the program group in setup.ini are checked, and links.inf
// must be gone once setup has ended.
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "pages_walk.h"
#include "resource.h"
#include "setup_ini.h"
#include "setup_run.h"

namespace {

enum { AppearMilliseconds = 20000 };

// start.ini, one template line per entry. It tries the grammar as a suite would use it:
// leading short lines, mixed-case markers, markers not at the start, dropped colon and
// percent lines, a file in a missing folder, and a file line that starts a file afresh.
const char *const TemplateLines[] = {
    "",
    "x",
    " ",
    ":%path%\\orvane.ini",
    "[Paths]",
    "Home=%path%",
    "%PATH%\\data",
    "%Path%",
    ":comment that is dropped",
    "%junk that is dropped",
    "",
    "[Layout]",
    "\tTab=1   ",
    ":%PATH%\\layout.cfg",
    "%path%\\layout\\lib",
    " %path% stays text",
    ":%path%\\orvane.ini",
    "[Paths]",
    "Home=%path%\\",
    "%pAtH%",
    ":%path%\\missing\\lost.ini",
    "lost line",
    ":%Path%\\router.cfg",
    "",
    "r",
};

struct Expected {
    const char *name;
    std::string content;  // "{I}" stands for the install directory
};

const Expected ExpectedFiles[] = {
    {"orvane.ini", "[Paths]\r\nHome=%path%\\\r\n{I}\r\n"},
    {"layout.cfg", "{I}\\layout\\lib\r\n %path% stays text\r\n"},
    {"router.cfg", "\r\nr\r\n"},
};

std::string ReadFileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Visible(const std::string &bytes)
{
    std::string out;
    for (char c : bytes)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

void ExpectLinkScript(const std::string &path, const std::string &installDir)
{
    std::string script = ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = script.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(script.substr(start, end - start));
    EXPECT_EQ(script.size(), start) << "bytes after the last CR LF";
    ASSERT_EQ(32u, lines.size()) << Visible(script);
    EXPECT_EQ("InstallDir       = \"" + installDir + "\"", lines[11]);
    EXPECT_EQ("[DefaultInstall]", lines[13]);
}

class ConfigE2E : public ::testing::TestWithParam<const char *> {};

TEST_P(ConfigE2E, InPlaceInstallGeneratesFilesAndProgramGroup)
{
    const std::string lineEnd = GetParam();
    const char *variant = lineEnd == "\r\n" ? "crlf" : lineEnd == "\n" ? "lf" : "cr";
    char folderBuffer[MAX_PATH];
    ASSERT_TRUE(MakeScratchFolder((std::string("config-") + variant).c_str(), folderBuffer,
                                  sizeof folderBuffer));
    const std::string folder = folderBuffer;
    ASSERT_TRUE(CopyBuiltProgram("setup.exe", folder.c_str(), "inst.exe"));
    ASSERT_TRUE(CopyBuiltProgram("brindle.exe", folder.c_str(), NULL));
    std::string templateText;
    for (const char *line : TemplateLines)
        templateText += line + lineEnd;
    ASSERT_TRUE(WriteTextFile((folder + "\\start.ini").c_str(), templateText.c_str()));
    ForgetProgramGroups();

    ScopedProgram setup;
    ASSERT_TRUE(StartProgram(&setup.program, (folder + "\\inst.exe").c_str(), NULL,
                             folder.c_str()));
    AcceptLicence(setup.program.processId);
    // The file in a missing folder cannot be made: setup says so and goes on.
    HWND box = WaitForMessageBox(setup.program.processId, "Error", AppearMilliseconds);
    ASSERT_TRUE(box) << "no box for the file in a missing folder";
    char text[512] = "";
    ReadMessageBoxText(box, text, sizeof text);
    EXPECT_EQ("Could not write file " + folder + "\\missing\\lost.ini", std::string(text));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    HWND completed = WaitForPage(setup.program.processId, CompletedCaption);
    ASSERT_TRUE(completed);

    // setup waits on its last page: every step has run, links.inf is still there.
    for (const Expected &file : ExpectedFiles) {
        std::string expected = file.content;
        for (size_t at; (at = expected.find("{I}")) != std::string::npos;)
            expected.replace(at, 3, folder);
        EXPECT_EQ(Visible(expected), Visible(ReadFileBytes(folder + "\\" + file.name)))
            << file.name;
    }
    ExpectLinkScript(folder + "\\links.inf", folder);
    ExpectProgramGroup(folder);

    Press(completed, IDC_EXIT_SETUP);
    EXPECT_EQ(0, WaitForProgramExit(&setup.program, AppearMilliseconds));
    EXPECT_EQ("brindle.exe inst.exe layout.cfg orvane.ini router.cfg start.ini",
              FolderListing(folder))
        << "links.inf is deleted at exit; nothing else is left behind";
}

INSTANTIATE_TEST_SUITE_P(TemplateLineEnds, ConfigE2E, ::testing::Values("\r\n", "\n", "\r"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             std::string end = info.param;
                             return end == "\r\n" ? std::string("CrLf")
                                                  : end == "\n" ? std::string("Lf")
                                                                : std::string("Cr");
                         });

// What a run with the root of C: as its install directory leaves there.
const char *const RootFiles[] = {"inst.exe",  "brindle.exe", "start.ini", "orvane.exe",
                                 "root.cfg",  "links.inf",   "orvane-command.txt"};

struct DriveRootCleaner {
    DriveRootCleaner() { Clear(); }
    ~DriveRootCleaner() { Clear(); }
    static void Clear()
    {
        for (const char *name : RootFiles)
            DeleteFileA((std::string("C:\\") + name).c_str());
    }
};

// The root of drive C: as the install directory, chosen in copy mode or as setup's own
// folder in place (as a disc's D:\setup.exe): the generated lines, links.inf, the program
// group and orvane's command line hold C:\ where the root stands alone and C:\name where a
// name is joined to it, never the bare C: (that drive's current folder) nor C:\\.
TEST(DriveRootE2E, RootStandsAsCColonBackslash)
{
    const char rootTemplate[] =
        ":%path%\\root.cfg\r\nhome\r\n%path%\r\n%path%\\conf\\alpha.cfg\r\n";
    for (bool copyMode : {true, false}) {
        SCOPED_TRACE(copyMode ? "copy mode into C:\\" : "in place from C:\\");
        DriveRootCleaner cleaner;
        ForgetProgramGroups();
        SetupRun run;
        std::string medium = "C:";
        if (copyMode) {
            ASSERT_TRUE(run.Prepare("root", "setup-copy.exe"));
            medium = run.source;
        } else {
            ASSERT_TRUE(CopyBuiltProgram("setup.exe", "C:", "inst.exe") &&
                        CopyBuiltProgram("brindle.exe", "C:", NULL));
            run.folder = "C:";
        }
        ASSERT_TRUE(WriteTextFile((medium + "\\start.ini").c_str(), rootTemplate));
        ASSERT_TRUE(CopyBuiltProgram("probes\\orvane.exe", medium.c_str(), "orvane.exe"));
        ASSERT_TRUE(StartProgram(&run.setup.program, (run.folder + "\\inst.exe").c_str(), NULL,
                                 (run.folder + "\\").c_str()));
        if (copyMode)
            ChooseInstallDirectory(run, "C:\\", true);
        else
            AcceptLicence(run.setup.program.processId);
        std::vector<BoxSeen> boxes;
        HWND completed = AnswerUntilCompleted(run, &boxes);
        ASSERT_TRUE(completed) << Describe(boxes);
        EXPECT_EQ("", Describe(boxes));

        EXPECT_EQ(Visible("home\r\nC:\\\r\nC:\\conf\\alpha.cfg\r\n"),
                  Visible(ReadFileBytes("C:\\root.cfg")));
        ExpectLinkScript("C:\\links.inf", "C:\\");
        ExpectProgramGroup("C:\\");
        Press(completed, IDC_START_MAIN);
        EXPECT_EQ(0, run.Exit());
        const std::string command = "C:\\orvane C:\\";
        EXPECT_EQ(command, WaitForFileText("C:\\orvane-command.txt", command));
    }
}

} // namespace
