// The tree copy called directly under Wine, with a test main window whose message boxes are
// answered by a CBT hook, and a stand-in progress page whose bar (200 pixels wide unless a
// test says otherwise) records what it is told.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/copy.h"
#include "install/journal.h"
#include "shell/state.h"
#include "resource.h"
#include "tree_fixture.h"

static int PumpCalls;
static int CloseAtPumpCall;  // the pump call at which the user closes the main window; 0: none
void PumpMessages(void)
{
    if (++PumpCalls == CloseAtPumpCall)
        DestroyWindow(MainWindow);
}

namespace {

// What the progress page saw.
struct ProgressRecord {
    int pagesCreated;
    HWND page;
    bool returnNoPage;      // the page cannot be created: CreateProgressPage gives NULL
    int barWidth = 200;
    int rangeCalls;
    WPARAM rangeWParam;
    LPARAM rangeLParam;
    bool shownBeforeFirstPosition;
    std::vector<int> positions;
} Progress;

LRESULT CALLBACK RecordingBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case PBM_SETRANGE:
        Progress.rangeCalls++;
        Progress.rangeWParam = wParam;
        Progress.rangeLParam = lParam;
        return 0;
    case PBM_SETPOS:
        if (Progress.positions.empty())
            Progress.shownBeforeFirstPosition =
                (GetWindowLongA(GetParent(window), GWL_STYLE) & WS_VISIBLE) != 0;
        Progress.positions.push_back((int)wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// A message box as the hook found it, and how it was answered.
struct Box {
    std::string caption;
    std::string text;
    HWND owner;
    bool hasCancel;
    int bar;  // the bar's last position when the box came up; -1 when none was set
};
std::vector<Box> Boxes;
std::vector<HWND> AnsweredBoxes;
// IDOK, IDCANCEL or CloseSetup, in order; when empty, Cancel or the only OK.
enum { CloseSetup = -1 };  // the user closes the main window instead of answering
std::deque<int> Answers;

LRESULT CALLBACK AnswerMessageBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = (HWND)wParam;
    char className[32] = "";
    if (code == HCBT_ACTIVATE && GetClassNameA(box, className, sizeof className) &&
        strcmp(className, "#32770") == 0 &&
        std::find(AnsweredBoxes.begin(), AnsweredBoxes.end(), box) == AnsweredBoxes.end()) {
        char caption[256] = "", text[1024] = "";
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        bool hasCancel = GetDlgItem(box, IDCANCEL) != NULL;
        Boxes.push_back({caption, text, GetWindow(box, GW_OWNER), hasCancel,
                         Progress.positions.empty() ? -1 : Progress.positions.back()});
        AnsweredBoxes.push_back(box);
        int answer = hasCancel ? IDCANCEL : IDOK;
        if (!Answers.empty()) {
            answer = Answers.front();
            Answers.pop_front();
        }
        if (answer == CloseSetup)
            PostMessageA(MainWindow, WM_CLOSE, 0, 0);
        else
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

} // namespace

HWND CreateProgressPage(void)
{
    Progress.pagesCreated++;
    if (Progress.returnNoPage)
        return NULL;
    HINSTANCE instance = GetModuleHandleA(NULL);
    int width = Progress.barWidth;
    Progress.page = CreateWindowExA(0, "CopyTestPage", "", WS_CHILD, 0, 0, width, 40, MainWindow,
                                    NULL, instance, NULL);
    CreateWindowExA(0, "CopyTestBar", "", WS_CHILD | WS_VISIBLE, 0, 0, width, 20, Progress.page,
                    (HMENU)(INT_PTR)IDC_PROGRESS_BAR, instance, NULL);
    return Progress.page;
}

namespace {

// As setup's main window, it tells the run that it is gone.
LRESULT CALLBACK MainWindowStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        MainWindowDestroyed = 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterTestClass(const char *name, WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

Box ErrorBox(const std::string &text)
{
    return {"Error", text, MainWindow, false, -1};
}

Box Question(const std::string &text)
{
    return {"Message", text, MainWindow, true, -1};
}

std::string Describe(const std::vector<Box> &boxes)
{
    std::string lines;
    for (const Box &box : boxes)
        lines += "[" + box.caption + (box.hasCancel ? " OK/Cancel" : " OK") + "] " + box.text +
                 (box.owner == MainWindow ? "" : " (not owned by the main window)") + "\n";
    return lines;
}

class CopyTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClass("CopyTestMain", MainWindowStandIn);
        RegisterTestClass("CopyTestPage", DefWindowProcA);
        RegisterTestClass("CopyTestBar", RecordingBarProc);
        MakeMainWindow();
        hook = SetWindowsHookExA(WH_CBT, AnswerMessageBoxes, NULL, GetCurrentThreadId());
        ASSERT_TRUE(hook != NULL);
        Progress = ProgressRecord();
        Boxes.clear();
        AnsweredBoxes.clear();
        Answers.clear();
        PumpCalls = 0;
        CloseAtPumpCall = 0;
        root = MakeRootFolder("copy");
        source = root + "\\src";
        install = root + "\\inst";
        MakeFolder(source);
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(hook);
        DestroyWindow(MainWindow);
        SetCurrentDirectoryA("C:\\");
        RemoveTree(root);
    }

    void MakeMainWindow()
    {
        MainWindowDestroyed = 0;
        MainWindow = CreateWindowExA(0, "CopyTestMain", "main", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                     300, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(MainWindow != NULL);
    }
    int Copy() { return Copy(source, install); }
    int Copy(const std::string &from, const std::string &to)
    {
        Boxes.clear();
        Progress.positions.clear();
        // As the wizard: the install directory is the copy's own only when it makes it.
        CopyJournal.installMade = 0;
        return CopyTree(from.c_str(), to.c_str());
    }
    void ExpectBoxes(const std::vector<Box> &expected)
    {
        EXPECT_EQ(Describe(expected), Describe(Boxes));
    }
    void ExpectPageGone()
    {
        EXPECT_EQ(1, Progress.pagesCreated);
        EXPECT_FALSE(IsWindow(Progress.page)) << "the progress page was left behind";
    }
    // src: A\X\x, A\a, B\ (empty), r1, r2 (read-only), and entries that are not copied.
    void MakeSampleTree()
    {
        MakeFolder(source + "\\A");
        MakeFolder(source + "\\A\\X");
        MakeFolder(source + "\\B");
        MakeFile(source + "\\A\\X\\x", 300, 1);
        MakeFile(source + "\\A\\a", 5000, 2);
        MakeFile(source + "\\r1", 0);
        MakeFile(source + "\\r2", 700, 3, FILE_ATTRIBUTE_READONLY);
        MakeFile(source + "\\hidden", 10, 4, FILE_ATTRIBUTE_HIDDEN);
        MakeFolder(source + "\\Sys", FILE_ATTRIBUTE_SYSTEM);
        MakeFile(source + "\\Sys\\s", 10);
    }
    std::vector<std::string> SampleTreeCopied()
    {
        return {"A\\", "A\\X\\", "A\\X\\x=300", "A\\a=5000", "B\\", "r1=0", "r2=700"};
    }

    HHOOK hook;
    std::string root, source, install;
};

TEST_F(CopyTreeTest, RebuildsTheTreeLessHiddenAndSystemEntries)
{
    MakeSampleTree();
    EXPECT_EQ(1, Copy()) << "a finished copy gives the result of destroying the page";
    EXPECT_EQ(SampleTreeCopied(), DescribeTree(install));
    for (const char *file : {"\\A\\X\\x", "\\A\\a", "\\r2"})
        EXPECT_EQ(ReadWholeFile(source + file), ReadWholeFile(install + file)) << file;
    EXPECT_EQ(0u, AttributesOf(install + "\\r2") & FILE_ATTRIBUTE_READONLY)
        << "a read-only source arrives writable";
    ExpectBoxes({});
    ExpectPageGone();
    EXPECT_EQ(7, FileCount);
    EXPECT_EQ(4 + FileCount, PumpCalls) << "one per directory scanned, one per entry";
}

// The bar is told a position only where what it draws changes: the first entry's, then
// each that fills another number of whole pixels than the last one told, and the last
// entry's.
TEST_F(CopyTreeTest, ProgressMovesByWholePixelsFromTheFirstToTheLastEntry)
{
    MakeFolder(source + "\\D");
    for (int i = 0; i < 60; i++)
        MakeFile(source + (i % 2 ? "\\D\\f" : "\\f") + std::to_string(i),
                 i % 15 == 0 ? 20000 : 10 + i);
    Copy();
    EXPECT_EQ(1, Progress.rangeCalls);
    EXPECT_EQ(0u, Progress.rangeWParam);
    EXPECT_EQ(0x27100000, Progress.rangeLParam);
    EXPECT_TRUE(Progress.shownBeforeFirstPosition);

    std::vector<int> entries;
    double done = 0, total = 0;
    for (int i = 0; i < FileCount; i++)
        total += FileSizes[i];
    for (int i = 0; i < FileCount; i++) {
        entries.push_back(ProgressPosition(done, total));
        done += FileSizes[i];
    }
    const std::vector<int> &told = Progress.positions;
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(0, told.front()) << "first position";
    EXPECT_EQ(entries.back(), told.back()) << "last position";
    EXPECT_LT(told.size(), entries.size() / 2) << "a position for nearly every entry";
    for (size_t i = 1; i < told.size(); i++) {
        EXPECT_LT(told[i - 1], told[i]) << "position " << i;
        if (i + 1 < told.size()) {
            EXPECT_NE(told[i - 1] * 200 / 10000, told[i] * 200 / 10000)
                << "the same pixels at " << i;
        }
    }
    // Whatever an entry's bytes put the bar at, it draws the pixels of that position.
    for (size_t i = 0; i < entries.size(); i++) {
        int shown = *(std::upper_bound(told.begin(), told.end(), entries[i]) - 1);
        EXPECT_EQ(entries[i] * 200 / 10000, shown * 200 / 10000)
            << "entry " << i << " at " << entries[i] << ", the bar at " << shown;
    }
}

// A\, A\B\, A\B\C\, A\B\C\c (31 bytes), A\B\b (30), A\a (1), r: 10,000 bytes in all, so
// that the entries put the bar at 0, 0, 0, 0, 31, 61 and 62. On a bar of 329 pixels 31
// fills 1 and 61 fills 2, though 61 is less than a pixel's worth past 31.
TEST_F(CopyTreeTest, ProgressIsToldEveryChangeOfTheDrawnWidth)
{
    MakeFolder(source + "\\A");
    MakeFolder(source + "\\A\\B");
    MakeFolder(source + "\\A\\B\\C");
    MakeFile(source + "\\A\\B\\C\\c", 31);
    MakeFile(source + "\\A\\B\\b", 30);
    MakeFile(source + "\\A\\a", 1);
    MakeFile(source + "\\r", 10000 - 62);
    const struct {
        int width;
        std::vector<int> told;
    } cases[] = {{329, {0, 31, 61, 62}}, {200, {0, 61, 62}}, {32, {0, 62}}};
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " pixels");
        Progress = ProgressRecord();
        Progress.barWidth = c.width;
        EXPECT_EQ(1, Copy(source, install + std::to_string(++n)));
        EXPECT_EQ(c.told, Progress.positions);
    }
}

// A box shows the bar where the bytes before the entry put it, though it moved by less
// than a pixel: A\, A\B\, A\B\b (100 bytes), A\q (asks), r; 1,000,000 bytes in all.
TEST_F(CopyTreeTest, AQuestionFindsTheBarWhereTheBytesBeforeItsFilePutIt)
{
    MakeFolder(source + "\\A");
    MakeFolder(source + "\\A\\B");
    MakeFile(source + "\\A\\B\\b", 100, 1);
    MakeFile(source + "\\A\\q", 500, 2);
    MakeFile(source + "\\r", 999400, 3);
    MakeFolder(install);
    MakeFolder(install + "\\A");
    MakeFileWithText(install + "\\A\\q", "installed earlier");
    Answers = {IDCANCEL};

    EXPECT_EQ(1, Copy());
    ASSERT_EQ(1u, Boxes.size()) << Describe(Boxes);
    EXPECT_EQ(ProgressPosition(100, 1000000), Boxes[0].bar) << "bar at the question";
    std::vector<int> told = {0, ProgressPosition(100, 1000000), ProgressPosition(600, 1000000)};
    EXPECT_EQ(told, Progress.positions);
}

TEST(ProgressPosition, BytesDoneOverTotalTruncated)
{
    const struct {
        double done, total;
        int position;
    } cases[] = {
        {123456, 1000000, 1234}, {0, 1000000, 0},   {999999, 1000000, 9999},
        {2, 3, 6666},            {1, 3, 3333},      {1000000, 1000000, 10000},
        {0, 0, 0},               {5, 0, 0},         {2147483647.0, 4294967294.0, 5000},
        {390000, 1000000, 3900}, {39, 50, 7800},    {57, 100, 5699},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.position, ProgressPosition(c.done, c.total))
            << c.done << " of " << c.total;
}

TEST_F(CopyTreeTest, OnlyDirectoriesAndEmptyFilesKeepTheBarAtZero)
{
    MakeFolder(source + "\\D");
    MakeFile(source + "\\D\\empty", 0);
    MakeFile(source + "\\empty", 0);
    EXPECT_LE(0, Copy());
    EXPECT_EQ((std::vector<int>{0}), Progress.positions) << "told once";
    EXPECT_EQ((std::vector<std::string>{"D\\", "D\\empty=0", "empty=0"}), DescribeTree(install));
}

// A source that cannot be read is no existing target: no question, the copy stops there
// and nothing of it arrives.
TEST_F(CopyTreeTest, UnreadableSourceStopsTheCopyWithoutAQuestion)
{
    MakeFile(source + "\\locked", 400);
    MakeFile(source + "\\readable", 100);
    HANDLE lock = CreateFileA((source + "\\locked").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    bool lockedFirst = ListingOrder(source).front() == "locked";

    int result = Copy();
    CloseHandle(lock);
    EXPECT_EQ(-2, result);
    ExpectBoxes({ErrorBox("Could not copy file " + install + "\\locked")});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\locked"))
        << "nothing arrives in place of an unreadable source";
    // Its 400 bytes come from the listing; the file itself is opened only by the copy.
    std::vector<int> expected = {0};
    if (!lockedFirst)
        expected.push_back(2000);
    EXPECT_EQ(expected, Progress.positions);
}

TEST_F(CopyTreeTest, ExistingFilesAskOkReplacesCancelKeepsBothEndWritable)
{
    MakeSampleTree();
    ASSERT_EQ(1, Copy());
    const char *files[] = {"\\A\\X\\x", "\\A\\a", "\\r1", "\\r2"};
    std::vector<Box> questions;
    for (const char *file : files) {
        MakeFileWithText(install + file, "installed earlier");
        questions.push_back(Question("File " + install + file + " exists overwrite ?"));
    }
    std::sort(questions.begin(), questions.end(),
              [](const Box &a, const Box &b) { return a.text < b.text; });
    SetFileAttributesA((install + "\\r1").c_str(), FILE_ATTRIBUTE_READONLY);

    Answers.assign(4, IDCANCEL);
    EXPECT_EQ(1, Copy()) << "Cancel keeps the file and the copy goes on";
    for (const char *file : files) {
        EXPECT_EQ("installed earlier", ReadWholeFile(install + file)) << file;
        EXPECT_EQ(0u, AttributesOf(install + file) & FILE_ATTRIBUTE_READONLY) << file;
    }
    std::vector<Box> asked = Boxes;
    std::sort(asked.begin(), asked.end(),
              [](const Box &a, const Box &b) { return a.text < b.text; });
    EXPECT_EQ(Describe(questions), Describe(asked)) << "one question per existing file";

    // Replaced, the old files are kept aside until the copy is committed or rolled back,
    // also by a later run after this one was killed.
    std::vector<std::string> before = TreeContents(install);
    for (int round = 0; round < 3; round++) {
        SCOPED_TRACE(round == 0 ? "rolled back" : round == 1 ? "killed" : "committed");
        Answers.assign(4, IDOK);
        EXPECT_EQ(1, Copy());
        EXPECT_EQ(4u, Boxes.size()) << Describe(Boxes);
        for (const char *file : files) {
            EXPECT_EQ(ReadWholeFile(source + file), ReadWholeFile(install + file)) << file;
            EXPECT_EQ(0u, AttributesOf(install + file) & FILE_ATTRIBUTE_READONLY) << file;
        }
        if (round == 0) {
            EXPECT_EQ(0, RollBackCopy());
        } else if (round == 1) {
            EXPECT_EQ(4, RestoreKeptCopies(install.c_str()));
        } else {
            EXPECT_EQ(0, CommitCopy());
            EXPECT_EQ(SampleTreeCopied(), DescribeTree(install));
            break;
        }
        EXPECT_EQ(before, TreeContents(install));
    }
}

// A stopped copy into a folder it made: the rollback leaves no trace of it.
TEST_F(CopyTreeTest, RollBackRemovesWhatTheCopyMade)
{
    MakeSampleTree();
    ASSERT_EQ(1, Copy());
    EXPECT_EQ(0, RollBackCopy());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install));
}

// A target that cannot be replaced: after OK the copy stops with "Could not copy file", the
// target as it was, the files before it copied and none after it.
void ExpectCopyStoppedAtTarget(int result, const std::string &source, const std::string &to,
                               const std::string &blocked, const std::string &after)
{
    std::string target = to + "\\" + blocked;
    EXPECT_EQ(-2, result);
    EXPECT_EQ(Describe({Question("File " + target + " exists overwrite ?"),
                        ErrorBox("Could not copy file " + target)}),
              Describe(Boxes));
    EXPECT_EQ("keep", ReadWholeFile(target));
    EXPECT_EQ(ReadWholeFile(source + "\\A\\a"), ReadWholeFile(to + "\\A\\a"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(to + "\\" + after))
        << "the copy goes no further";
    EXPECT_FALSE(IsWindow(Progress.page)) << "the progress page was left behind";
}

class UnreplaceableTarget : public CopyTreeTest {
protected:
    void SetUp() override
    {
        CopyTreeTest::SetUp();
        MakeFolder(source + "\\A");
        MakeFile(source + "\\A\\a", 50, 1);
        MakeFile(source + "\\s1", 60, 2);
        MakeFile(source + "\\s2", 70, 3);
        order = InListingOrder(source, {"s1", "s2"});
        MakeFolder(install);
        MakeFileWithText(install + "\\" + order[0], "keep");
    }
    std::vector<std::string> order;
};

TEST_F(UnreplaceableTarget, InUse)
{
    HANDLE inUse = CreateFileA((install + "\\" + order[0]).c_str(), GENERIC_READ, 0, NULL,
                               OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, inUse);
    Answers = {IDOK};
    int result = Copy();
    CloseHandle(inUse);
    ExpectCopyStoppedAtTarget(result, source, install, order[0], order[1]);
}

TEST_F(UnreplaceableTarget, ReadOnly)
{
    std::string target = install + "\\" + order[0];
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE writer = CreateFileA(target.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    CloseHandle(writer);
    if (writer != INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "this platform writes read-only files (Wine run as root)";
    Answers = {IDOK};
    ExpectCopyStoppedAtTarget(Copy(), source, install, order[0], order[1]);
}

TEST_F(CopyTreeTest, DirectoryThatCannotBeCreatedStopsTheCopy)
{
    MakeFolder(source + "\\A");
    MakeFile(source + "\\A\\a", 5);
    MakeFile(source + "\\f", 5);
    MakeFolder(install);
    MakeFileWithText(install + "\\A", "a file where the directory goes");

    EXPECT_EQ(-1, Copy());
    ExpectBoxes({ErrorBox("Could not create directory " + install + "\\A")});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install + "\\f"));
    ExpectPageGone();
}

// The user closes setup: the copy ends at the end of the scan, at its next entry, or
// after the question about its last entry, and what it handled stays.
TEST_F(CopyTreeTest, ClosingTheMainWindowStopsTheCopyAtOnce)
{
    MakeSampleTree();
    const int scanPumps = 4;  // the source, A, X and B are listed
    const std::string last = InListingOrder(source, {"r1", "r2"}).back();
    const struct {
        const char *when;
        int closeAt;  // pump call; 0: at the question about the last entry, which exists
        int pumps;
        size_t handled;
    } cases[] = {{"during the scan", 1, scanPumps, 0},
                 {"before the third entry", scanPumps + 3, scanPumps + 3, 2},
                 {"before the last entry", scanPumps + 7, scanPumps + 7, 6},
                 {"at the question about the last entry", 0, scanPumps + 7, 7}};
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.when);
        if (!IsWindow(MainWindow))
            MakeMainWindow();
        std::string to = install + std::to_string(++n);
        std::vector<Box> boxes;
        if (c.closeAt == 0) {
            MakeFolder(to);
            MakeFileWithText(to + "\\" + last, "installed earlier");
            Answers = {CloseSetup};
            boxes = {Question("File " + to + "\\" + last + " exists overwrite ?")};
        }
        Progress = ProgressRecord();
        PumpCalls = 0;
        CloseAtPumpCall = c.closeAt;
        EXPECT_EQ(-1, Copy(source, to));
        EXPECT_FALSE(IsWindow(MainWindow));
        EXPECT_EQ(c.pumps, PumpCalls) << "the copy went on";
        if (c.handled == 0) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(to)) << "install directory made";
            EXPECT_EQ(0, Progress.pagesCreated);
        } else {
            EXPECT_EQ(c.handled, DescribeTree(to).size());
            EXPECT_FALSE(IsWindow(Progress.page));
        }
        ExpectBoxes(boxes);
    }
}

TEST_F(CopyTreeTest, OneTrailingBackslashIsCutOffEitherArgument)
{
    MakeFolder(source + "\\D");
    MakeFile(source + "\\D\\d", 12);
    MakeFile(source + "\\f", 34);
    const struct {
        const char *sourceEnd, *installEnd;
    } cases[] = {{"", ""}, {"\\", ""}, {"", "\\"}, {"\\", "\\"}, {"\\\\", ""}};
    int n = 0;
    for (const auto &c : cases) {
        std::string to = install + std::to_string(++n);
        SCOPED_TRACE(std::string("source ends in \"") + c.sourceEnd + "\", install in \"" +
                     c.installEnd + "\"");
        EXPECT_EQ(1, Copy(source + c.sourceEnd, to + c.installEnd));
        EXPECT_EQ((std::vector<std::string>{"D\\", "D\\d=12", "f=34"}), DescribeTree(to));
        ExpectBoxes({});
    }
}

TEST_F(CopyTreeTest, SecondTrailingBackslashOfTheInstallTextStays)
{
    MakeFile(source + "\\f", 3);
    MakeFolder(install);
    MakeFileWithText(install + "\\f", "old");
    Answers = {IDCANCEL};
    EXPECT_EQ(1, Copy(source, install + "\\\\"));
    ExpectBoxes({Question("File " + install + "\\\\f exists overwrite ?")});
}

TEST_F(CopyTreeTest, ShortArgumentsAreRefusedBeforeAnything)
{
    const struct {
        const char *source, *install;
    } cases[] = {{"", "C:\\target"}, {"x", "C:\\target"}, {"\\", "C:\\target"},
                 {"C:\\src", ""},    {"C:\\src", "y"},    {"C:\\src", "\\"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("\"") + c.source + "\", \"" + c.install + "\"");
        FileCount = 42;
        PumpCalls = 0;
        EXPECT_EQ(-1, Copy(c.source, c.install));
        EXPECT_EQ(42, FileCount) << "no scan";
        EXPECT_EQ(0, PumpCalls);
        EXPECT_EQ(0, Progress.pagesCreated);
        ExpectBoxes({});
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf("C:\\target"));
}

TEST_F(CopyTreeTest, EmptyOrMissingTreeStillMakesTheInstallDirectory)
{
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "missing source" : "empty source");
        std::string from = missing ? root + "\\nothing" : source;
        std::string to = install + (missing ? "2" : "1");
        Progress = ProgressRecord();
        EXPECT_EQ(1, Copy(from, to));
        EXPECT_EQ(0, FileCount);
        EXPECT_TRUE(AttributesOf(to) & FILE_ATTRIBUTE_DIRECTORY) << "not created";
        EXPECT_EQ(1, Progress.rangeCalls);
        EXPECT_TRUE(Progress.positions.empty());
        ExpectPageGone();
        ExpectBoxes({});
    }
}

TEST_F(CopyTreeTest, ExistingInstallDirectoryBecomesTheCurrentDirectory)
{
    MakeFolder(install);
    MakeFile(source + "\\f", 1);
    EXPECT_EQ(1, Copy(source, install + "\\"));
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(install.c_str(), current);
}

TEST_F(CopyTreeTest, InstallDirectoryThatCannotBeMade)
{
    MakeFile(source + "\\f", 1);
    std::string to = root + "\\missing\\inst";
    EXPECT_EQ(-1, Copy(source, to + "\\"));
    ExpectBoxes({ErrorBox("Can not create directory " + to)});
    EXPECT_EQ(0, Progress.pagesCreated);
    EXPECT_EQ(1, FileCount) << "the scan came first";
}

TEST_F(CopyTreeTest, TreeThatDoesNotFitIsNotInstalledAtAll)
{
    MakeFile(source + "\\first", 1);
    std::string tooLong = source + "\\" + Repeat('n', 130);
    MakeFile(tooLong, 1);

    EXPECT_EQ(-1, Copy());
    ExpectBoxes({ErrorBox("Can not install " + tooLong + ": too many files or path too long")});
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, AttributesOf(install)) << "install directory touched";
    EXPECT_EQ(0, Progress.pagesCreated);

    // A later copy of a tree that fits is not refused for the earlier one.
    DeleteFileA(tooLong.c_str());
    EXPECT_EQ(1, Copy());
    EXPECT_EQ((std::vector<std::string>{"first=1"}), DescribeTree(install));
}

TEST_F(CopyTreeTest, LongTargetPathsAreNeitherCutNorWrittenPastTheirBuffers)
{
    // An install text of 199 characters, below which list paths of up to 127 characters go:
    // target paths of more than 300 characters. Where the system takes them (Wine does),
    // everything arrives under its full name; elsewhere the message names the full path.
    std::string to = root;
    while (to.size() < 199 - 61) {
        to += "\\" + Repeat('i', std::min<size_t>(60, 199 - 61 - to.size() - 1));
        MakeFolder(to);
    }
    to += "\\" + Repeat('j', 199 - to.size() - 1);
    MakeFolder(to);
    ASSERT_EQ(199u, to.size());
    std::string sub = Repeat('s', 60);
    std::string file = sub + "\\" + Repeat('f', 126 - source.size() - sub.size() - 2);
    MakeFolder(source + "\\" + sub);
    MakeFile(source + "\\" + file, 17);
    ASSERT_EQ(126u, (source + "\\" + file).size());

    int result = Copy(source, to);
    if (result < 0) {
        ExpectBoxes({ErrorBox("Could not create directory " + to + "\\" + sub)});
    } else {
        ExpectBoxes({});
        EXPECT_EQ(ReadWholeFile(source + "\\" + file), ReadWholeFile(to + "\\" + file));
        EXPECT_LT(300u, (to + "\\" + file).size());
    }
}

TEST_F(CopyTreeTest, CopesWithAProgressPageThatCouldNotBeMade)
{
    MakeSampleTree();
    Progress.returnNoPage = true;
    EXPECT_EQ(0, Copy()) << "no page to destroy";
    EXPECT_EQ(SampleTreeCopied(), DescribeTree(install));
    ExpectBoxes({});
}

} // namespace
