// Copy mode as a user meets it: the real setup-copy.exe driven through its pages from
// outside, installing a tree from the veltrane folder beside it into a chosen folder.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "pages_walk.h"
#include "resource.h"
#include "setup_run.h"
#include "../install/tree_fixture.h"

namespace {

// The template makes one configuration file that names the install folder.
const char StartTemplate[] = ":%path%\\orvane.cfg\r\n[orvane]\r\n%path%\\data\r\n";

std::string ExpectedConfiguration(const std::string &install)
{
    return "[orvane]\r\n" + install + "\\data\r\n";
}

// A run of setup-copy.exe whose tree holds the template; it installs into folder\target.
struct CopyRun : SetupRun {
    std::string install;

    bool Prepare(const char *name)
    {
        if (!SetupRun::Prepare(name, "setup-copy.exe"))
            return false;
        install = folder + "\\target";
        MakeFileWithText(source + "\\start.ini", StartTemplate);
        return true;
    }
};

std::vector<std::string> WithConfiguration(std::vector<std::string> tree, const CopyRun &run)
{
    tree.push_back("orvane.cfg=" + std::to_string(ExpectedConfiguration(run.install).size()));
    std::sort(tree.begin(), tree.end());
    return tree;
}

// A medium tree: many folders first (the bar stays at 0 while they are made), files in
// each, a few large ones, read-only ones, and entries that must not be installed.
void MakeMediumTree(const std::string &source)
{
    char name[64];
    for (int d = 0; d < 40; d++) {
        snprintf(name, sizeof name, "\\d%02d", d);
        std::string dir = source + name;
        MakeFolder(dir);
        for (int f = 0; f < 12; f++) {
            snprintf(name, sizeof name, "\\file%02d.dat", f);
            MakeFile(dir + name, 3000 + 500 * f, d + f);
        }
        if (d % 10 == 0) {
            MakeFolder(dir + "\\deep");
            MakeFolder(dir + "\\deep\\deeper");
            MakeFile(dir + "\\deep\\deeper\\leaf.txt", 100, d);
            MakeFolder(dir + "\\empty");
        }
    }
    for (int big = 0; big < 6; big++)
        MakeFile(source + "\\big" + std::to_string(big) + ".bin", 4 << 20, big);
    MakeFile(source + "\\readonly.txt", 321, 7, FILE_ATTRIBUTE_READONLY);
    MakeFile(source + "\\d05\\readonly.dat", 123, 8, FILE_ATTRIBUTE_READONLY);
}

void AddEntriesNotToInstall(const std::string &source)
{
    MakeFile(source + "\\hidden.txt", 10, 1, FILE_ATTRIBUTE_HIDDEN);
    MakeFile(source + "\\system.sys", 10, 2, FILE_ATTRIBUTE_SYSTEM);
    MakeFolder(source + "\\HiddenDir", FILE_ATTRIBUTE_HIDDEN);
    MakeFile(source + "\\HiddenDir\\inside.txt", 10, 3);
    MakeFolder(source + "\\d07\\SystemDir", FILE_ATTRIBUTE_SYSTEM);
    MakeFile(source + "\\d07\\SystemDir\\inside.txt", 10, 4);
}

// What the progress page showed, polled from outside while the copy ran.
struct ProgressSeen {
    bool found = false;
    bool visible = false;
    int low = -1, high = -1;
    std::vector<int> positions;
    bool screenshotSaved = false;
    COLORREF pageColour = CLR_INVALID;  // in the screenshot, amid the page's bar
};

HWND FindProgressPage(HWND mainWindow)
{
    return FindWindowExA(mainWindow, NULL, "#32770", "Progress");
}

int BarValue(HWND bar, UINT message, WPARAM wParam)
{
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutA(bar, message, wParam, 0, SMTO_ABORTIFHUNG, 2000, &value))
        return -1;
    return (int)value;
}

void WatchProgress(HWND mainWindow, ProgressSeen *seen)
{
    DWORD start = GetTickCount();
    HWND page = NULL;
    while (!page && GetTickCount() - start < CopyMilliseconds) {
        page = FindProgressPage(mainWindow);
        if (!page)
            Sleep(5);
    }
    if (!page)
        return;
    seen->found = true;
    HWND bar = GetDlgItem(page, IDC_PROGRESS_BAR);
    seen->positions.push_back(BarValue(bar, PBM_GETPOS, 0));
    seen->visible = IsWindowVisible(page) != 0;
    seen->low = BarValue(bar, PBM_GETRANGE, TRUE);
    seen->high = BarValue(bar, PBM_GETRANGE, FALSE);
    Sleep(300);
    ScreenImage image;
    if (CaptureScreen(NULL, &image)) {
        RECT frame;
        GetWindowRect(bar, &frame);
        seen->pageColour = ImagePixel(&image, (frame.left + frame.right) / 2,
                                      (frame.top + frame.bottom) / 2);
        std::string path = std::string(BuildFolder()) + "\\copy-progress.bmp";
        seen->screenshotSaved = SaveImageAsBmp(&image, path.c_str());
        FreeScreenImage(&image);
    }
    while (IsWindow(page)) {
        int position = BarValue(bar, PBM_GETPOS, 0);
        if (position >= 0 && position != seen->positions.back())
            seen->positions.push_back(position);
        Sleep(5);
    }
}

TEST(CopyE2E, MediumTreeInstalledUnderAVisibleProgressPage)
{
    CopyRun run;
    ASSERT_TRUE(run.Prepare("medium"));
    MakeMediumTree(run.source);
    std::vector<std::string> expected = WithConfiguration(DescribeTree(run.source), run);
    AddEntriesNotToInstall(run.source);
    ASSERT_TRUE(run.Start());
    HWND mainWindow = run.MainWindow();
    ASSERT_TRUE(mainWindow);

    ChooseInstallDirectory(run, run.install, false);
    DWORD copyStart = GetTickCount();
    ProgressSeen progress;
    WatchProgress(mainWindow, &progress);
    DWORD copyMilliseconds = GetTickCount() - copyStart;
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed);
    EXPECT_EQ("", Describe(boxes));

    ASSERT_TRUE(progress.found) << "no progress page";
    EXPECT_TRUE(progress.visible);
    EXPECT_TRUE(progress.screenshotSaved);
    EXPECT_GT(GetRValue(progress.pageColour), 128) << "the screenshot shows no progress page, "
                                                   << std::hex << progress.pageColour;
    EXPECT_EQ(0, progress.low);
    EXPECT_EQ(10000, progress.high);
    EXPECT_EQ(0, progress.positions.front()) << "first position";
    for (size_t i = 1; i < progress.positions.size(); i++) {
        EXPECT_LT(progress.positions[i - 1], progress.positions[i]) << "position " << i;
        EXPECT_LT(progress.positions[i], 10000) << "position " << i;
    }
    printf("copy visible for %lu ms, %zu positions seen\n", (unsigned long)copyMilliseconds,
           progress.positions.size());

    EXPECT_EQ(0, FinishSetup(run, completed));
    EXPECT_EQ(expected, DescribeTree(run.install));
    for (const std::string &entry : expected) {
        size_t equals = entry.find('=');
        if (equals == std::string::npos || entry.compare(0, equals, "orvane.cfg") == 0)
            continue;
        std::string relative = "\\" + entry.substr(0, equals);
        ASSERT_EQ(ReadWholeFile(run.source + relative), ReadWholeFile(run.install + relative))
            << relative;
        ASSERT_EQ(0u, AttributesOf(run.install + relative) & FILE_ATTRIBUTE_READONLY)
            << relative << " arrived read-only";
    }
    EXPECT_EQ(ExpectedConfiguration(run.install), ReadWholeFile(run.install + "\\orvane.cfg"));
}

bool CancelsKeepFiles(const std::string &text)
{
    return text.find("\\keep") != std::string::npos;
}

TEST(CopyE2E, SecondInstallAsksPerFileOkReplacesCancelKeeps)
{
    CopyRun run;
    ASSERT_TRUE(run.Prepare("twice"));
    MakeFolder(run.source + "\\D");
    MakeFile(run.source + "\\D\\replace1", 100, 1);
    MakeFile(run.source + "\\D\\keep1", 200, 2, FILE_ATTRIBUTE_READONLY);
    MakeFile(run.source + "\\replace2", 300, 3, FILE_ATTRIBUTE_READONLY);
    MakeFile(run.source + "\\keep2", 400, 4);
    std::vector<std::string> files = {"\\D\\replace1", "\\D\\keep1", "\\replace2", "\\keep2",
                                      "\\start.ini"};
    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, run.install, false);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed);
    EXPECT_EQ("", Describe(boxes)) << "first install";
    EXPECT_EQ(0, FinishSetup(run, completed));

    for (const std::string &file : files)
        MakeFileWithText(run.install + file, "installed earlier");
    SetFileAttributesA((run.install + "\\keep2").c_str(), FILE_ATTRIBUTE_READONLY);
    KillProgram(&run.setup.program);
    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, run.install, true);
    boxes.clear();
    completed = AnswerUntilCompleted(run, &boxes, CancelsKeepFiles);
    ASSERT_TRUE(completed);

    std::vector<std::string> asked;
    for (const BoxSeen &box : boxes)
        asked.push_back("[" + box.caption + "] " + box.text);
    std::sort(asked.begin(), asked.end());
    std::vector<std::string> expected;
    for (const std::string &file : files)
        expected.push_back("[Message] File " + run.install + file + " exists overwrite ?");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, asked) << "one question per existing file";
    EXPECT_EQ(0, FinishSetup(run, completed));

    for (const std::string &file : files) {
        bool kept = file.find("keep") != std::string::npos;
        EXPECT_EQ(kept ? "installed earlier" : ReadWholeFile(run.source + file),
                  ReadWholeFile(run.install + file))
            << file;
        EXPECT_EQ(0u, AttributesOf(run.install + file) & FILE_ATTRIBUTE_READONLY)
            << file << " left read-only";
    }
}

// The copy stops at a target that cannot be replaced; the rest of setup still runs.
void ExpectStoppedAt(CopyRun &run, const std::string &blocked, const std::string &after,
                     void (*block)(const std::string &target, HANDLE *held))
{
    HANDLE held = INVALID_HANDLE_VALUE;
    std::string target = run.install + "\\" + blocked;
    MakeFolder(run.install);
    MakeFileWithText(target, "keep");
    block(target, &held);
    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, run.install, true);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page after the failed copy";
    EXPECT_EQ(Describe({{"Message", "File " + target + " exists overwrite ?"},
                        {"Error", "Could not copy file " + target}}),
              Describe(boxes));
    EXPECT_EQ(ExpectedConfiguration(run.install), ReadWholeFile(run.install + "\\orvane.cfg"))
        << "the start file did not run";
    EXPECT_TRUE(AttributesOf(run.install + "\\links.inf") != INVALID_FILE_ATTRIBUTES)
        << "the link script did not run";
    EXPECT_EQ(0, FinishSetup(run, completed));
    CloseHandle(held);

    EXPECT_EQ("keep", ReadWholeFile(target));
    EXPECT_EQ(ReadWholeFile(run.source + "\\A\\a"), ReadWholeFile(run.install + "\\A\\a"))
        << "earlier files intact";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\" + after))
        << "the copy went on";
}

void PrepareBlockedTree(CopyRun &run, const char *name, std::vector<std::string> *order)
{
    ASSERT_TRUE(run.Prepare(name));
    MakeFolder(run.source + "\\A");
    MakeFile(run.source + "\\A\\a", 500, 1);
    MakeFile(run.source + "\\s1", 600, 2);
    MakeFile(run.source + "\\s2", 700, 3);
    *order = InListingOrder(run.source, {"s1", "s2"});
}

void HoldOpen(const std::string &target, HANDLE *held)
{
    *held = CreateFileA(target.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, *held);
}

void MakeReadOnly(const std::string &target, HANDLE *)
{
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
}

TEST(CopyE2E, TargetInUseStopsTheCopyAndSetupGoesOn)
{
    CopyRun run;
    std::vector<std::string> order;
    PrepareBlockedTree(run, "inuse", &order);
    ExpectStoppedAt(run, order[0], order[1], HoldOpen);
}

TEST(CopyE2E, ReadOnlyTargetStopsTheCopyAndSetupGoesOn)
{
    std::string probe = "C:\\veltrane-e2e-readonly-probe";
    MakeFile(probe, 1, 0, FILE_ATTRIBUTE_READONLY);
    HANDLE writer = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    CloseHandle(writer);
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(probe.c_str());
    if (writer != INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "this platform writes read-only files (Wine run as root)";

    CopyRun run;
    std::vector<std::string> order;
    PrepareBlockedTree(run, "readonly", &order);
    ExpectStoppedAt(run, order[0], order[1], MakeReadOnly);
}

TEST(CopyE2E, DirectoryBlockedByAFileIsReportedWithoutBackslash)
{
    CopyRun run;
    ASSERT_TRUE(run.Prepare("blocked"));
    MakeFolder(run.source + "\\A");
    MakeFile(run.source + "\\A\\a", 50);
    MakeFile(run.source + "\\f", 60);
    MakeFolder(run.install);
    MakeFileWithText(run.install + "\\A", "a file where the folder goes");
    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, run.install, true);
    std::vector<BoxSeen> boxes;
    HWND completed = AnswerUntilCompleted(run, &boxes);
    ASSERT_TRUE(completed) << "no completion page after the failed copy";
    EXPECT_EQ(Describe({{"Error", "Could not create directory " + run.install + "\\A"}}),
              Describe(boxes));
    EXPECT_EQ(ExpectedConfiguration(run.install), ReadWholeFile(run.install + "\\orvane.cfg"));
    EXPECT_TRUE(AttributesOf(run.install + "\\links.inf") != INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(0, FinishSetup(run, completed));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\f"));
}

// Counts the programs setup starts from now on (brindle would be the first); NULL when
// the job cannot be made.
HANDLE CountStartedPrograms(const SetupRun &run)
{
    HANDLE job = CreateJobObjectA(NULL, NULL);
    if (job && !AssignProcessToJobObject(job, run.setup.program.process)) {
        CloseHandle(job);
        return NULL;
    }
    return job;
}

DWORD ProgramsStarted(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                   sizeof info, NULL))
        return 0;
    return info.TotalProcesses - 1;
}

// The user closes setup during the copy, as the system's "end task" does: WM_CLOSE sent
// to the main window, which the copy's pump delivers at once, or which takes the question
// that holds the copy with it. The copy stops, no later step runs, the exit code is 0.
TEST(CopyE2E, ClosingTheMainWindowDuringTheCopyEndsTheInstallation)
{
    for (bool atQuestion : {false, true}) {
        SCOPED_TRACE(atQuestion ? "closed at a question" : "closed while the copy runs");
        CopyRun run;
        ASSERT_TRUE(run.Prepare(atQuestion ? "close-asked" : "close"));
        ASSERT_TRUE(CopyBuiltProgram("brindle.exe", run.folder.c_str(), NULL));
        MakeMediumTree(run.source);
        size_t treeEntries = DescribeTree(run.source).size();
        if (atQuestion) {
            // The files of d00 come before those of every other folder.
            MakeFolder(run.install);
            MakeFolder(run.install + "\\d00");
            MakeFileWithText(run.install + "\\d00\\file05.dat", "installed earlier");
        }
        ASSERT_TRUE(run.Start());
        HANDLE job = CountStartedPrograms(run);
        ASSERT_TRUE(job) << "no job to count started programs";
        HWND mainWindow = run.MainWindow();
        ASSERT_TRUE(mainWindow);
        ChooseInstallDirectory(run, run.install, atQuestion);
        if (atQuestion) {
            HWND box = run.WaitBox("Message", CopyMilliseconds);
            ASSERT_TRUE(box) << "no question";
            EXPECT_EQ("File " + run.install + "\\d00\\file05.dat exists overwrite ?",
                      BoxText(box));
        } else {
            HWND page = NULL;
            for (DWORD start = GetTickCount(); !page && GetTickCount() - start < CopyMilliseconds;)
                page = FindProgressPage(mainWindow);
            ASSERT_TRUE(page) << "no progress page";
        }
        DWORD_PTR ignored;
        SendMessageTimeoutA(mainWindow, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        EXPECT_FALSE(IsWindow(mainWindow));
        EXPECT_EQ(0, WaitForProgramExit(&run.setup.program, CopyMilliseconds));

        EXPECT_LT(DescribeTree(run.install).size(), treeEntries) << "the copy went on";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\orvane.cfg"))
            << "the start file was expanded";
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\links.inf"));
        EXPECT_EQ(0u, ProgramsStarted(job)) << "brindle was started for the program group";
        CloseHandle(job);
    }
}

}  // namespace
