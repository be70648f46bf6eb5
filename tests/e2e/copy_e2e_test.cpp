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

// One entry of the copy's list: a path below the tree ("dir\" for a folder) and its size.
struct ListEntry {
    std::string path;
    long long size;
};

// The order in which the copy handles a tree: a folder's sub-folders, what lies below each
// of them, then its files; hidden and system entries left out.
void AppendCopyOrder(const std::string &root, const std::string &relative,
                     std::vector<ListEntry> *list)
{
    std::string here = relative.empty() ? root : root + "\\" + relative;
    std::vector<std::string> folders, files;
    for (const std::string &name : ListingOrder(here)) {
        DWORD attributes = AttributesOf(here + "\\" + name);
        if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            continue;
        (attributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files).push_back(name);
    }
    std::string prefix = relative.empty() ? "" : relative + "\\";
    for (const std::string &name : folders)
        list->push_back({prefix + name + "\\", 0});
    for (const std::string &name : folders)
        AppendCopyOrder(root, prefix + name, list);
    for (const std::string &name : files)
        list->push_back({prefix + name, (long long)ReadWholeFile(here + "\\" + name).size()});
}

// Where the bar must stand while the copy asks about entry `index`: the bytes before it
// over all bytes, times 10,000, truncated, computed in doubles (this program's SSE2).
int PositionAt(const std::vector<ListEntry> &list, size_t index)
{
    double done = 0, total = 0;
    for (size_t i = 0; i < list.size(); i++) {
        total += list[i].size;
        if (i < index)
            done += list[i].size;
    }
    return (int)(done / total * 10000);
}

// Makes the target of each picked file exist, so that the copy stops at a question there.
void PlaceTargets(const std::string &install, const std::vector<ListEntry> &list,
                  const std::vector<size_t> &picked)
{
    CreateDirectoryA(install.c_str(), NULL);
    for (size_t index : picked) {
        const std::string &path = list[index].path;
        for (size_t slash = path.find('\\'); slash != std::string::npos;
             slash = path.find('\\', slash + 1))
            CreateDirectoryA((install + "\\" + path.substr(0, slash)).c_str(), NULL);
        MakeFileWithText(install + "\\" + path, "installed earlier");
    }
}

HWND FindProgressPage(HWND mainWindow)
{
    return FindWindowExA(mainWindow, NULL, "#32770", "Progress");
}

int BarValue(HWND bar, UINT message, WPARAM wParam)
{
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutA(bar, message, wParam, 0, SMTO_ABORTIFHUNG, PageAppearMilliseconds,
                             &value))
        return -1;
    return (int)value;
}

// The question about an existing target, which holds the copy until it is answered.
HWND WaitForQuestion(CopyRun &run, const std::string &path)
{
    HWND box = run.WaitBox("Message", CopyMilliseconds);
    EXPECT_TRUE(box) << "no question about " << path;
    if (box) {
        EXPECT_EQ("File " + run.install + "\\" + path + " exists overwrite ?", BoxText(box));
    }
    return box;
}

void Answer(HWND box)
{
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
}

// With the copy held at a question: the question moved off the page, the screen shows the
// page around its empty bar once the page has painted itself again.
void ExpectPageOnScreen(HWND page, HWND bar, HWND box)
{
    SetWindowPos(box, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT frame;
    GetWindowRect(bar, &frame);
    int x = (frame.left + frame.right) / 2, y = (frame.top + frame.bottom) / 2;
    COLORREF colour = ReadScreenPixel(x, y);
    for (DWORD start = GetTickCount();
         GetRValue(colour) <= 128 && GetTickCount() - start < PageAppearMilliseconds;
         colour = ReadScreenPixel(x, y))
        Sleep(25);
    EXPECT_GT(GetRValue(colour), 128) << "the screen shows no progress page, " << std::hex
                                      << colour;
    EXPECT_TRUE(IsWindowVisible(page));
    ScreenImage image;
    ASSERT_TRUE(CaptureScreen(NULL, &image));
    std::string path = std::string(BuildFolder()) + "\\copy-progress.bmp";
    EXPECT_TRUE(SaveImageAsBmp(&image, path.c_str()));
    FreeScreenImage(&image);
}

// The medium tree's first file, its first file after the folders' contents and its last.
std::vector<size_t> FirstFilesAndLast(const std::vector<ListEntry> &list)
{
    std::vector<size_t> files;
    for (size_t i = 0; i < list.size(); i++)
        if (list[i].path.back() != '\\' &&
            (files.empty() || list[i].path.find('\\') == std::string::npos))
            files.push_back(i);
    if (files.size() < 3)
        return {};
    return {files[0], files[1], files.back()};
}

// A\, A\B\, A\B\b, A\q, then r and start.ini: the question about A\q comes after 390,000
// of 1,000,000 bytes, where the formula in doubles gives 3900 (in the x87 unit's extended
// precision 3899).
void MakeThirtyNinePercentTree(const std::string &source)
{
    MakeFolder(source + "\\A");
    MakeFolder(source + "\\A\\B");
    MakeFile(source + "\\A\\B\\b", 390000, 1);
    MakeFile(source + "\\A\\q", 10000, 2);
    MakeFile(source + "\\r", 600000 - (int)ReadWholeFile(source + "\\start.ini").size(), 3);
}

std::vector<size_t> EntryAQ(const std::vector<ListEntry> &list)
{
    for (size_t i = 0; i < list.size(); i++)
        if (list[i].path == "A\\q")
            return {i};
    return {};
}

// The copy is held at questions about files of the tree; there the bar must stand exactly
// where the bytes before each put it.
TEST(CopyE2E, TreeInstalledUnderAVisibleProgressPage)
{
    const struct {
        const char *name;
        void (*make)(const std::string &source);
        std::vector<size_t> (*held)(const std::vector<ListEntry> &list);
    } trees[] = {{"medium", MakeMediumTree, FirstFilesAndLast},
                 {"thirty-nine", MakeThirtyNinePercentTree, EntryAQ}};
    for (const auto &tree : trees) {
        SCOPED_TRACE(tree.name);
        CopyRun run;
        ASSERT_TRUE(run.Prepare(tree.name));
        tree.make(run.source);
        std::vector<std::string> expected = WithConfiguration(DescribeTree(run.source), run);
        if (tree.make == MakeMediumTree)
            AddEntriesNotToInstall(run.source);
        std::vector<ListEntry> list;
        AppendCopyOrder(run.source, "", &list);
        std::vector<size_t> held = tree.held(list);
        ASSERT_FALSE(held.empty());
        PlaceTargets(run.install, list, held);
        ASSERT_TRUE(run.Start());
        HWND mainWindow = run.MainWindow();
        ASSERT_TRUE(mainWindow);
        ChooseInstallDirectory(run, run.install, true);

        for (size_t index : held) {
            SCOPED_TRACE(list[index].path);
            HWND box = WaitForQuestion(run, list[index].path);
            ASSERT_TRUE(box);
            HWND page = FindProgressPage(mainWindow);
            ASSERT_TRUE(page) << "no progress page during the copy";
            HWND bar = GetDlgItem(page, IDC_PROGRESS_BAR);
            if (index == held[0]) {
                EXPECT_EQ(0, BarValue(bar, PBM_GETRANGE, TRUE));
                EXPECT_EQ(10000, BarValue(bar, PBM_GETRANGE, FALSE));
                if (tree.make == MakeMediumTree)
                    ExpectPageOnScreen(page, bar, box);
            }
            EXPECT_EQ(PositionAt(list, index), BarValue(bar, PBM_GETPOS, 0));
            Answer(box);
        }
        std::vector<BoxSeen> boxes;
        HWND completed = AnswerUntilCompleted(run, &boxes);
        ASSERT_TRUE(completed);
        EXPECT_EQ("", Describe(boxes));

        EXPECT_EQ(0, FinishSetup(run, completed));
        EXPECT_EQ(expected, DescribeTree(run.install));
        for (const std::string &entry : expected) {
            size_t equals = entry.find('=');
            if (equals == std::string::npos || entry.compare(0, equals, "orvane.cfg") == 0)
                continue;
            std::string relative = "\\" + entry.substr(0, equals);
            ASSERT_EQ(ReadWholeFile(run.source + relative),
                      ReadWholeFile(run.install + relative))
                << relative;
            ASSERT_EQ(0u, AttributesOf(run.install + relative) & FILE_ATTRIBUTE_READONLY)
                << relative << " arrived read-only";
        }
        EXPECT_EQ(ExpectedConfiguration(run.install),
                  ReadWholeFile(run.install + "\\orvane.cfg"));
    }
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

// Entries that are no full local path, and folders that cannot be made: each is named in
// one box owned by the main window, the page comes again with the text, and nothing is
// made, copied, generated or started for it.
TEST(CopyE2E, DirectoryEntriesThatCannotBeInstalledIntoAreRefused)
{
    CopyRun run;
    ASSERT_TRUE(run.Prepare("refused"));
    const std::string path = "\n\nType a drive letter, a colon and a backslash followed by "
                             "folder names, such as c:\\veltrane";
    const std::string name = "\n\nChoose another folder name";
    const std::string entries[][2] = {
        {"inst", "The install directory inst is not a full path" + path},
        {"\\", "The install directory \\ is not a full path" + path},
        {"c:/veltrane/", "The install directory c:/veltrane/ holds a forward slash" + path},
        {"c:\\velt.", "The install directory c:\\velt. holds a folder name that ends in a dot: "
                      "velt." + name},
        {"c:\\veltrane\\\\",
         "The install directory c:\\veltrane\\\\ holds two backslashes in a row" + path},
        {"Q:\\veltrane", "Can not create directory Q:\\veltrane"},
    };
    ASSERT_TRUE(run.Start());
    HANDLE job = CountStartedPrograms(run);
    ASSERT_TRUE(job) << "no job to count started programs";
    HWND mainWindow = run.MainWindow();
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    for (const auto &entry : entries) {
        SCOPED_TRACE(entry[0]);
        ASSERT_TRUE(page) << "the directory page did not come again";
        ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, entry[0].c_str()));
        Press(page, IDOK);
        HWND box = run.WaitBox("Error");
        ASSERT_TRUE(box);
        EXPECT_EQ(entry[1], BoxText(box));
        EXPECT_EQ(mainWindow, GetWindow(box, GW_OWNER)) << "the main window owns the box";
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        page = run.WaitPage(DirectoryCaption);
        char text[200] = "";
        ReadControlText(page, IDC_DIRECTORY_EDIT, text, sizeof text);
        EXPECT_EQ(entry[0], text);
    }
    // Typed longer than setup reads, the entry stops at what setup reads, so that what the
    // page shows is what is judged and installed into.
    std::string typed = "c:\\acc\\" + std::string(91, 'a') + "\\CONFIG";
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, typed.c_str()));
    char shown[200] = "";
    ReadControlText(page, IDC_DIRECTORY_EDIT, shown, sizeof shown);
    EXPECT_EQ(typed.substr(0, 99), shown);
    Press(page, IDCANCEL);
    HWND exitPage = run.WaitPage(ExitCaption);
    ASSERT_TRUE(exitPage);
    Press(exitPage, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
    EXPECT_EQ("brindle.exe inst.exe veltrane", FolderListing(run.folder));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf("c:\\velt"));
    EXPECT_EQ(0u, ProgramsStarted(job)) << "brindle was started";
    CloseHandle(job);
}

// Setup killed at a question, after it replaced a file: the old bytes are still on the
// disk, and the next run into that folder puts them back before anything else and says so.
TEST(CopyE2E, KilledDuringTheCopyTheNextRunPutsTheOldFilesBack)
{
    CopyRun run;
    ASSERT_TRUE(run.Prepare("killed"));
    MakeFolder(run.source + "\\D");
    MakeFile(run.source + "\\D\\d1", 300, 1);
    MakeFile(run.source + "\\D\\d2", 400, 2);
    std::vector<std::string> order = InListingOrder(run.source + "\\D", {"d1", "d2"});
    MakeFolder(run.install);
    MakeFolder(run.install + "\\D");
    for (const std::string &name : order)
        MakeFileWithText(run.install + "\\D\\" + name, "older " + name);
    MakeFileWithText(run.install + "\\mine.txt", "the user's own");
    std::vector<std::string> before = TreeContents(run.install);

    ASSERT_TRUE(run.Start());
    ChooseInstallDirectory(run, run.install, true);
    HWND box = WaitForQuestion(run, "D\\" + order[0]);
    ASSERT_TRUE(box);
    Answer(box);
    ASSERT_TRUE(WaitForQuestion(run, "D\\" + order[1]));
    KillProgram(&run.setup.program);
    std::string kept = ReadWholeFile(run.install + "\\~setup-kept\\D\\" + order[0]) +
                       ReadWholeFile(run.install + "\\D\\" + order[0]);
    EXPECT_NE(std::string::npos, kept.find("older " + order[0])) << "the old bytes are gone";

    ASSERT_TRUE(run.Start());
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, run.install.c_str()));
    Press(page, IDOK);
    box = run.WaitBox("Message");
    ASSERT_TRUE(box);
    EXPECT_EQ("An earlier installation into " + run.install + " did not finish\n\n"
              "Setup has put back the files it had replaced", BoxText(box));
    EXPECT_EQ(run.MainWindow(), GetWindow(box, GW_OWNER)) << "the main window owns the box";
    EXPECT_EQ(before, TreeContents(run.install)) << "put back before the box";
    Answer(box);
    box = run.WaitBox("Message");
    ASSERT_TRUE(box);
    EXPECT_EQ("Directory " + run.install + " exists overwrite ?", BoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    Press(page, IDCANCEL);
    HWND exitPage = run.WaitPage(ExitCaption);
    ASSERT_TRUE(exitPage);
    Press(exitPage, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
    EXPECT_EQ(before, TreeContents(run.install));
}

// A copy that did not finish: after its own boxes, one that says Veltrane was not
// installed; setup then ends with exit code 1, without generating a file or starting
// brindle.
void ExpectNotInstalled(CopyRun &run, HANDLE job, std::vector<BoxSeen> expected)
{
    std::vector<BoxSeen> boxes;
    EXPECT_FALSE(AnswerUntilCompleted(run, &boxes)) << "a completion page after the failed copy";
    expected.push_back({"Error", NotInstalledText});
    EXPECT_EQ(Describe(expected), Describe(boxes));
    EXPECT_EQ(1, run.Exit());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\orvane.cfg"))
        << "the start file was expanded";
    EXPECT_EQ(0u, ProgramsStarted(job)) << "brindle was started for the program group";
    CloseHandle(job);
}

// The copy stops at a target that cannot be replaced, over an older installation: the
// folder is put back byte for byte as it was, the user's own file with it.
void ExpectStoppedAt(CopyRun &run, const std::string &blocked, const std::string &after,
                     void (*block)(const std::string &target, HANDLE *held))
{
    HANDLE held = INVALID_HANDLE_VALUE;
    std::string target = run.install + "\\" + blocked;
    MakeFolder(run.install);
    MakeFolder(run.install + "\\A");
    MakeFileWithText(run.install + "\\A\\a", "older a");
    MakeFileWithText(run.install + "\\mine.txt", "the user's own");
    MakeFileWithText(target, "keep");
    std::vector<std::string> before = TreeContents(run.install);
    block(target, &held);
    ASSERT_TRUE(run.Start());
    HANDLE job = CountStartedPrograms(run);
    ASSERT_TRUE(job) << "no job to count started programs";
    ChooseInstallDirectory(run, run.install, true);
    ExpectNotInstalled(run, job,
                       {{"Message", "File " + run.install + "\\A\\a exists overwrite ?"},
                        {"Message", "File " + target + " exists overwrite ?"},
                        {"Error", "Could not copy file " + target}});
    CloseHandle(held);
    EXPECT_EQ(before, TreeContents(run.install)) << "the older installation was not put back";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\" + after));
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

TEST(CopyE2E, TargetInUseStopsTheCopyAndNothingMoreIsInstalled)
{
    CopyRun run;
    std::vector<std::string> order;
    PrepareBlockedTree(run, "inuse", &order);
    ExpectStoppedAt(run, order[0], order[1], HoldOpen);
}

TEST(CopyE2E, ReadOnlyTargetStopsTheCopyAndNothingMoreIsInstalled)
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
    HANDLE job = CountStartedPrograms(run);
    ASSERT_TRUE(job) << "no job to count started programs";
    ChooseInstallDirectory(run, run.install, true);
    ExpectNotInstalled(run, job,
                       {{"Error", "Could not create directory " + run.install + "\\A"}});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install + "\\f"));
}

// The user closes setup during the copy, as the system's "end task" does: WM_CLOSE sent
// to the main window, which the copy's pump delivers at once, or which takes the question
// that holds the copy with it. The copy stops, no later step runs, the folder is as it was
// (gone, when setup made it), and the exit code is 2.
TEST(CopyE2E, ClosingTheMainWindowDuringTheCopyEndsTheInstallation)
{
    for (bool atQuestion : {false, true}) {
        SCOPED_TRACE(atQuestion ? "closed at a question" : "closed while the copy runs");
        CopyRun run;
        ASSERT_TRUE(run.Prepare(atQuestion ? "close-asked" : "close"));
        MakeMediumTree(run.source);
        std::vector<ListEntry> list;
        AppendCopyOrder(run.source, "", &list);
        size_t first = 0;
        while (first < list.size() && list[first].path.back() == '\\')
            first++;
        ASSERT_LT(first, list.size());
        if (atQuestion)
            PlaceTargets(run.install, list, {first});
        std::vector<std::string> before;
        if (atQuestion)
            before = TreeContents(run.install);
        ASSERT_TRUE(run.Start());
        HANDLE job = CountStartedPrograms(run);
        ASSERT_TRUE(job) << "no job to count started programs";
        HWND mainWindow = run.MainWindow();
        ASSERT_TRUE(mainWindow);
        ChooseInstallDirectory(run, run.install, atQuestion);
        if (atQuestion) {
            ASSERT_TRUE(WaitForQuestion(run, list[first].path));
        } else {
            HWND page = NULL;
            DWORD bound = CaseMilliseconds(CopyMilliseconds);
            for (DWORD start = GetTickCount(); !page && GetTickCount() - start < bound;)
                page = FindProgressPage(mainWindow);
            ASSERT_TRUE(page) << "no progress page";
        }
        DWORD_PTR ignored;
        SendMessageTimeoutA(mainWindow, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        EXPECT_FALSE(IsWindow(mainWindow));
        EXPECT_EQ(2, WaitForProgramExit(&run.setup.program, CopyMilliseconds));

        if (atQuestion)
            EXPECT_EQ(before, TreeContents(run.install)) << "the folder was not put back";
        else
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(run.install)) << "the folder stayed";
        EXPECT_EQ(0u, ProgramsStarted(job)) << "brindle was started for the program group";
        CloseHandle(job);
    }
}

}  // namespace
