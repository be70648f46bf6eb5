// Faults met by the real setup-copy.exe under Wine, driven from outside: a target drive
// too small for the tree, a source file another program holds open, a target that cannot
// be replaced, an install directory that is a file, and the close box pressed during the
// copy. Each time the copy stops (or goes on) as it should; a copy that went on to its end
// is configured and ends with exit code 0, one that stopped leaves the folder as it was,
// generates nothing and ends with exit code 1.
// In place, setup.exe on a full drive and on a read-only one names each file it could not
// write, and without brindle beside it says that it could not start it; each time it goes on.
#include <windows.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "resource.h"
#include "setup_run.h"
#include "../install/tree_fixture.h"

namespace {

// The template makes one configuration file that names the install directory.
const char StartTemplate[] = ":%path%\\orvane.cfg\r\n[orvane]\r\n%path%\\data\r\n";

std::string ExpectedConfiguration(const std::string &install)
{
    return "[orvane]\r\n" + install + "\\data\r\n";
}

void PrepareCopyRun(SetupRun &run, const char *name)
{
    ASSERT_TRUE(run.Prepare(name, "setup-copy.exe"));
    MakeFileWithText(run.source + "\\start.ini", StartTemplate);
}

HWND FindProgressPage(HWND mainWindow)
{
    return FindWindowExA(mainWindow, NULL, "#32770", "Progress");
}

// Files of the source that must have arrived whole.
void ExpectCopiedWhole(const SetupRun &run, const std::string &install,
                       const std::vector<std::string> &files)
{
    for (const std::string &file : files) {
        std::string copied = ReadWholeFile(install + "\\" + file);
        std::string original = ReadWholeFile(run.source + "\\" + file);
        EXPECT_TRUE(copied == original) << file << ": " << copied.size() << " bytes arrived of "
                                        << original.size();
    }
}

// --- A full target drive ---------------------------------------------------------------

const char SmallDrive[] = "T:\\";

// The 2 MiB drive that fault-drives.sh maps for this test; false when it is missing.
bool SmallDriveMapped(ULONGLONG *totalBytes)
{
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(SmallDrive, &available, &total, &free))
        return false;
    *totalBytes = total.QuadPart;
    return total.QuadPart <= (4u << 20);
}

// The question about space comes before any file is written: Cancel brings the page back
// with nothing made; OK copies all the same, and the copy that fails leaves the drive as
// it was, with no stump of the file that did not fit and no question about one.
TEST(FaultsE2E, DriveTooSmallIsAskedAboutFirstAndLeftAsItWas)
{
    ULONGLONG driveBytes = 0;
    if (!SmallDriveMapped(&driveBytes))
        GTEST_SKIP() << "no small drive T: (fault-drives.sh mounts a 2 MiB tmpfs, which needs "
                        "root)";
    std::string install = "T:\\target";
    RemoveTree(install);
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install)) << "T: is not empty";

    // A folder that fits, then a file larger than the whole drive. Sub-folders are copied
    // before the files of the top folder, so A's files always come first.
    SetupRun run;
    PrepareCopyRun(run, "fulldisk");
    MakeFolder(run.source + "\\A");
    for (int i = 1; i <= 3; i++)
        MakeFile(run.source + "\\A\\a" + std::to_string(i), 400 << 10, i);
    MakeFile(run.source + "\\huge", (int)driveBytes + (1 << 20), 9);

    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, install, false);
    for (int answer : {IDCANCEL, IDOK}) {
        HWND box = run.WaitBox("Message");
        ASSERT_TRUE(box) << "no question about the space";
        std::string text = BoxText(box);
        EXPECT_EQ(0u, text.find("Drive T: has ")) << text;
        EXPECT_NE(std::string::npos, text.find(" KB free, and Veltrane needs ")) << text;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\A"))
            << "written before the question";
        ASSERT_TRUE(AnswerMessageBox(box, answer));
        ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
        if (answer == IDCANCEL) {
            HWND page = run.WaitPage(DirectoryCaption);
            ASSERT_TRUE(page) << "the directory page did not come again";
            char shown[200] = "";
            ReadControlText(page, IDC_DIRECTORY_EDIT, shown, sizeof shown);
            EXPECT_EQ(install, shown);
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install)) << "the folder stayed";
            Press(page, IDOK);
        }
    }
    std::vector<BoxSeen> boxes;
    EXPECT_FALSE(AnswerUntilCompleted(run, &boxes)) << "a completion page after the full drive";
    EXPECT_EQ(Describe({{"Error", "Could not copy file " + install + "\\huge"},
                        {"Error", NotInstalledText}}),
              Describe(boxes));
    EXPECT_EQ(1, run.Exit());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install)) << "the drive is not as it was";
}

// --- In place on a drive that cannot be written -----------------------------------------

// Fills what is left of the drive with one file, down to the last byte.
void FillDrive(const std::string &filler)
{
    HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << filler;
    std::vector<char> block(64 << 10, 'f');
    DWORD written;
    for (DWORD size = block.size(); size > 0; size /= 2) {
        while (WriteFile(file, block.data(), size, &written, NULL) && written == size) {
        }
    }
    CloseHandle(file);
}

// The suite in place in T:\suite, the rest of the small drive filled: the template is read,
// and the files it makes can be opened but not written.
void OnFullDrive(SetupRun &run, std::string *skip)
{
    ULONGLONG driveBytes = 0;
    if (!SmallDriveMapped(&driveBytes)) {
        *skip = "no small drive T: (fault-drives.sh mounts a 2 MiB tmpfs, which needs root)";
        return;
    }
    ASSERT_TRUE(run.PrepareSuite("T:\\suite"));
    FillDrive("T:\\filler");
}

// The suite in place on R:, the read-only view of C:\veltrane-e2e-readonly: nothing can be
// opened for writing.
void OnReadOnlyDrive(SetupRun &run, std::string *skip)
{
    if (AttributesOf("R:\\") == INVALID_FILE_ATTRIBUTES) {
        *skip = "no read-only drive R: (fault-drives.sh bind-mounts it, which needs root)";
        return;
    }
    ASSERT_TRUE(run.PrepareSuite("C:\\veltrane-e2e-readonly\\suite"));
    run.folder = "R:\\suite";
    ASSERT_FALSE(WriteTextFile("R:\\suite\\probe", "")) << "R: can be written";
}

// What the rows leave on the drives, removed before and however the test ends.
struct SuiteOnDrive {
    SuiteOnDrive() { Remove(); }
    ~SuiteOnDrive() { Remove(); }
    static void Remove()
    {
        RemoveTree("T:\\suite");
        DeleteFileA("T:\\filler");
        RemoveTree("C:\\veltrane-e2e-readonly\\suite");
    }
};

// The suite in place with everything but brindle.exe: WinExec finds no brindle.
void WithoutBrindle(SetupRun &run, std::string *)
{
    char folder[MAX_PATH];
    ASSERT_TRUE(MakeScratchFolder("nobrindle", folder, sizeof folder));
    ASSERT_TRUE(run.PrepareSuite(folder));
    ASSERT_TRUE(DeleteFileA((run.folder + "\\brindle.exe").c_str()));
}

struct InPlaceFault {
    const char *name;
    void (*prepare)(SetupRun &run, std::string *skip);
    std::vector<std::string> boxes;  // the Error boxes' texts, "{I}" for setup's folder
};

void PrintTo(const InPlaceFault &fault, std::ostream *out)
{
    *out << fault.name;
}

// One box per file, in the order setup writes them.
const std::vector<std::string> UnwrittenFiles = {
    "Could not write file {I}\\orvane.ini", "Could not write file {I}\\layout\\router.ini",
    "Could not write file {I}\\library\\partlib.ini", "Could not write file {I}\\links.inf"};

class InPlaceFaultE2E : public ::testing::TestWithParam<InPlaceFault> {};

TEST_P(InPlaceFaultE2E, NamesWhatItCouldNotDoAndGoesOn)
{
    SuiteOnDrive cleanUp;
    SetupRun run;
    std::string skip;
    ASSERT_NO_FATAL_FAILURE(GetParam().prepare(run, &skip));
    if (!skip.empty())
        GTEST_SKIP() << skip;

    ASSERT_TRUE(run.Start());
    HWND mainWindow = run.MainWindow();
    AcceptLicence(run.setup.program.processId);
    // The first box as a user sees it: an error of setup's main window, OK its only answer.
    HWND box = run.WaitBox("Error");
    ASSERT_TRUE(box) << "no error box"
                     << (run.WaitPage(CompletedCaption, 0) ? "; the completion page came" : "");
    EXPECT_EQ(mainWindow, GetWindow(box, GW_OWNER));
    EXPECT_FALSE(GetDlgItem(box, IDCANCEL)) << "the box offers Cancel";
    std::vector<BoxSeen> boxes = {{"Error", BoxText(box)}};
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page\n" << Describe(boxes);

    std::vector<BoxSeen> expected;
    for (std::string text : GetParam().boxes) {
        if (size_t at = text.find("{I}"); at != std::string::npos)
            text.replace(at, 3, run.folder);
        expected.push_back({"Error", text});
    }
    EXPECT_EQ(Describe(expected), Describe(boxes));
    EXPECT_EQ(0, FinishSetup(run, completed));
}

INSTANTIATE_TEST_SUITE_P(Faults, InPlaceFaultE2E,
                         ::testing::Values(InPlaceFault{"Full", OnFullDrive, UnwrittenFiles},
                                           InPlaceFault{"ReadOnly", OnReadOnlyDrive,
                                                        UnwrittenFiles},
                                           InPlaceFault{"WithoutBrindle", WithoutBrindle,
                                                        {"Could not start program brindle"}}),
                         [](const ::testing::TestParamInfo<InPlaceFault> &info) {
                             return std::string(info.param.name);
                         });

// --- A file that cannot be read or replaced ---------------------------------------------

struct Blocked {
    HANDLE held = INVALID_HANDLE_VALUE;
    ~Blocked()
    {
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
    }
};

// Another program has the source file open and shares it with nobody.
void HoldSourceOpen(const std::string &source, const std::string &, Blocked *blocked)
{
    blocked->held = CreateFileA(source.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, blocked->held) << source;
}

// A folder where the file goes: like a read-only file, it cannot be replaced, also by
// root, who may write read-only files under Wine.
void FolderAtTarget(const std::string &, const std::string &target, Blocked *)
{
    MakeFolder(target);
    MakeFileWithText(target + "\\inside", "kept");
}

bool CancelEveryQuestion(const std::string &)
{
    return true;
}

TEST(FaultsE2E, UnreadableSourceOrUnreplaceableTargetStopsOrIsSkipped)
{
    const struct {
        const char *name;
        void (*block)(const std::string &source, const std::string &target, Blocked *);
        bool answerOk;  // to "File %s exists overwrite ?"
    } cases[] = {
        {"source-held", HoldSourceOpen, true},
        {"folder-at-target-ok", FolderAtTarget, true},
        {"folder-at-target-cancel", FolderAtTarget, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetupRun run;
        PrepareCopyRun(run, c.name);
        MakeFolder(run.source + "\\A");
        MakeFile(run.source + "\\A\\a", 500, 1);
        MakeFile(run.source + "\\s1", 600, 2);
        MakeFile(run.source + "\\s2", 700, 3);
        // start.ini is copied too; blocking the first of s1 and s2 leaves the second after it.
        std::vector<std::string> top = InListingOrder(run.source, {"s1", "s2"});
        std::string install = run.folder + "\\target";
        std::string blockedTarget = install + "\\" + top[0];
        bool installExists = c.block == FolderAtTarget;
        if (installExists)
            MakeFolder(install);
        Blocked blocked;
        c.block(run.source + "\\" + top[0], blockedTarget, &blocked);
        std::vector<std::string> before = TreeContents(install);

        ASSERT_TRUE(run.Start());
        ChooseInstallDirectory(run, install, installExists);
        std::vector<BoxSeen> boxes;
        HWND completed =
            AnswerUntilCompleted(run, &boxes, c.answerOk ? NULL : CancelEveryQuestion);
        // Only a target that was there is asked about; a source that cannot be read is not.
        std::vector<BoxSeen> expected;
        if (installExists)
            expected.push_back({"Message", "File " + blockedTarget + " exists overwrite ?"});
        if (c.answerOk) {
            // The copy stopped: nothing is configured and setup ends by itself.
            expected.push_back({"Error", "Could not copy file " + blockedTarget});
            expected.push_back({"Error", NotInstalledText});
            EXPECT_FALSE(completed) << "a completion page after the failed copy";
            EXPECT_EQ(1, run.Exit());
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\orvane.cfg"));
        } else {
            ASSERT_TRUE(completed) << "no completion page\n" << Describe(boxes);
            EXPECT_EQ(ExpectedConfiguration(install), ReadWholeFile(install + "\\orvane.cfg"))
                << "the start file did not run";
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\links.inf"))
                << "the link script did not run";
            EXPECT_EQ(0, FinishSetup(run, completed));
        }
        EXPECT_EQ(Describe(expected), Describe(boxes));

        if (c.answerOk) {
            EXPECT_EQ(before, TreeContents(install)) << "the folder is not as it was";
        } else {
            ExpectCopiedWhole(run, install, {"A\\a", top[1]});
            EXPECT_EQ("kept", ReadWholeFile(blockedTarget + "\\inside"));
        }
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\links.inf"))
            << "links.inf left behind";
    }
}

// --- An install directory that is a file ------------------------------------------------

TEST(FaultsE2E, InstallDirectoryThatIsAFileIsReportedAndNothingIsWritten)
{
    SetupRun run;
    PrepareCopyRun(run, "dirisfile");
    MakeFile(run.source + "\\f", 100, 1);
    std::string install = run.folder + "\\target";
    MakeFileWithText(install, "a file, not a folder");

    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, install, false);
    // The folder cannot be made: the page comes again, and the user leaves.
    HWND box = run.WaitBox("Error");
    ASSERT_TRUE(box);
    EXPECT_EQ("Can not create directory " + install, BoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page) << "the directory page did not come again";
    Press(page, IDCANCEL);
    HWND exitPage = run.WaitPage(ExitCaption);
    ASSERT_TRUE(exitPage);
    Press(exitPage, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
    EXPECT_EQ("a file, not a folder", ReadWholeFile(install));
    EXPECT_EQ("brindle.exe inst.exe target veltrane", FolderListing(run.folder));
}

// --- The close box during the copy ------------------------------------------------------

TEST(FaultsE2E, CloseBoxesDuringTheCopyChangeNothing)
{
    SetupRun run;
    PrepareCopyRun(run, "closebox");
    char name[32];
    for (int d = 0; d < 20; d++) {
        snprintf(name, sizeof name, "\\d%02d", d);
        MakeFolder(run.source + name);
        for (int f = 0; f < 15; f++) {
            snprintf(name, sizeof name, "\\d%02d\\f%02d", d, f);
            MakeFile(run.source + name, 64 << 10, d + f);
        }
    }
    for (int big = 0; big < 6; big++)
        MakeFile(run.source + "\\big" + std::to_string(big), 4 << 20, big);
    std::vector<std::string> expected = DescribeTree(run.source);
    expected.push_back("orvane.cfg=" + std::to_string(
                                          ExpectedConfiguration(run.folder + "\\target").size()));
    std::sort(expected.begin(), expected.end());

    // Targets of the copy's first file and of its last one already exist: the questions
    // about them hold the copy at its start and at its end.
    std::string install = run.folder + "\\target";
    std::vector<std::string> folders, files;
    for (const std::string &entry : ListingOrder(run.source))
        (AttributesOf(run.source + "\\" + entry) & FILE_ATTRIBUTE_DIRECTORY ? folders : files)
            .push_back(entry);
    std::string firstFolder = folders[0];
    std::string first = firstFolder + "\\" + ListingOrder(run.source + "\\" + firstFolder)[0];
    std::string last = files.back();
    MakeFolder(install);
    MakeFolder(install + "\\" + firstFolder);
    MakeFileWithText(install + "\\" + first, "installed earlier");
    MakeFileWithText(install + "\\" + last, "installed earlier");

    ASSERT_TRUE(run.Start());
    HWND mainWindow = run.MainWindow();
    ASSERT_TRUE(mainWindow);
    ChooseInstallDirectory(run, install, true);
    HWND box = run.WaitBox("Message", CopyMilliseconds);
    ASSERT_TRUE(box) << "no question about " << first;
    EXPECT_EQ("File " + install + "\\" + first + " exists overwrite ?", BoxText(box));
    HWND page = FindProgressPage(mainWindow);
    ASSERT_TRUE(page) << "no progress page";
    // Posted behind the answer, the presses outlast the question and reach the copy's own
    // message pump, which drops presses on frames and their buttons.
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    PostMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(page, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
    box = run.WaitBox("Message", CopyMilliseconds);
    ASSERT_TRUE(box) << "no question about " << last;
    EXPECT_EQ("File " + install + "\\" + last + " exists overwrite ?", BoxText(box));
    EXPECT_TRUE(IsWindow(page)) << "the close box ended the copy";
    EXPECT_TRUE(IsWindow(mainWindow)) << "the close box closed setup during the copy";
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));

    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page after the copy";
    EXPECT_EQ("", Describe(boxes));
    EXPECT_EQ(0, FinishSetup(run, completed));
    EXPECT_EQ(expected, DescribeTree(install));
}

}  // namespace
