// The driver on a small program of its own (driver_fixture), so that a fault of the
// driver shows here and is not taken for a fault of setup.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "driver.h"

namespace {

enum { WaitMilliseconds = 30000, EditId = 101, ExitButtonId = 1504, BackButtonId = 1505 };

const COLORREF FixtureGreen = RGB(10, 200, 30);

// Starts driver_fixture with `mode` in a fresh scratch folder named after the mode.
bool StartFixture(Program *program, const char *mode, char *folder, int size)
{
    char path[MAX_PATH];

    if (!MakeScratchFolder(mode, folder, size) ||
        !CopyBuiltProgram("tests\\e2e\\driver_fixture.exe", folder, "fixture.exe"))
        return false;
    snprintf(path, sizeof path, "%s\\fixture.exe", folder);
    return StartProgram(program, path, mode, folder);
}

HWND WaitForFixtureWindow(const Program *program, const char *caption)
{
    WindowQuery query = {caption, NULL, program->processId};
    return WaitForTopWindow(&query, WaitMilliseconds);
}

std::string ReadWholeFile(const char *path)
{
    char text[256] = "";
    DWORD got = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "(missing)";
    ReadFile(file, text, sizeof text - 1, &got, NULL);
    CloseHandle(file);
    return std::string(text, got);
}

TEST(Driver, MessageBoxIsFoundReadAndAnswered)
{
    static const int answers[] = {IDOK, IDCANCEL};

    for (int answer : answers) {
        SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
        ScopedProgram fixture;
        char folder[MAX_PATH];
        char text[128];
        ASSERT_TRUE(StartFixture(&fixture.program, "box", folder, sizeof folder));
        HWND box = WaitForMessageBox(fixture.program.processId, "Error", WaitMilliseconds);
        ASSERT_TRUE(box != NULL);
        EXPECT_EQ(NULL, WaitForMessageBox(fixture.program.processId, "Message", 0));
        ASSERT_TRUE(ReadMessageBoxText(box, text, sizeof text));
        EXPECT_STREQ("Fixture text", text);
        ASSERT_TRUE(AnswerMessageBox(box, answer));
        EXPECT_EQ(answer, WaitForProgramExit(&fixture.program, WaitMilliseconds));
    }
}

struct PageAction {
    const char *what;
    bool (*act)(HWND page);
    long exitCode;
};

TEST(Driver, KeysAndButtonsReachThePage)
{
    static const PageAction actions[] = {
        {"Enter presses the default button", [](HWND p) { return PressKey(p, KeyEnter); }, IDOK},
        {"Escape cancels", [](HWND p) { return PressKey(p, KeyEscape); }, IDCANCEL},
        {"button by id", [](HWND p) { return PressButton(p, ExitButtonId); }, ExitButtonId},
        {"Cancel button", [](HWND p) { return PressButton(p, IDCANCEL); }, IDCANCEL},
    };

    for (const PageAction &action : actions) {
        SCOPED_TRACE(action.what);
        ScopedProgram fixture;
        char folder[MAX_PATH];
        ASSERT_TRUE(StartFixture(&fixture.program, "page", folder, sizeof folder));
        HWND page = WaitForFixtureWindow(&fixture.program, "Fixture page");
        ASSERT_TRUE(page != NULL);
        ASSERT_TRUE(action.act(page));
        EXPECT_EQ(action.exitCode, WaitForProgramExit(&fixture.program, WaitMilliseconds));
    }
}

TEST(Driver, RefusesWhatAUserCouldNotDo)
{
    ScopedProgram fixture;
    char folder[MAX_PATH];
    ASSERT_TRUE(StartFixture(&fixture.program, "page", folder, sizeof folder));
    HWND page = WaitForFixtureWindow(&fixture.program, "Fixture page");
    ASSERT_TRUE(page != NULL);

    // Once the page has handled its start-up, what it lacks stays lacking: asked once.
    ASSERT_TRUE(WaitUntilHandled(page, WaitMilliseconds));
    EXPECT_FALSE(PressButton(page, BackButtonId, 0)) << "the button is disabled";
    EXPECT_FALSE(PressButton(page, 4242, 0)) << "there is no such button";
    EXPECT_FALSE(TypeIntoEdit(page, 4242, "x", 0));
    char text[16];
    EXPECT_FALSE(ReadControlText(page, 4242, text, sizeof text));
    EXPECT_STREQ("", text);
    EXPECT_TRUE(WaitUntilHandled(page, WaitMilliseconds)) << "the page went away";
    EXPECT_EQ(ExitCodeStillRunning, WaitForProgramExit(&fixture.program, 0));

    ScopedProgram disabled;
    char otherFolder[MAX_PATH];
    ASSERT_TRUE(StartFixture(&disabled.program, "disabled-window", otherFolder,
                             sizeof otherFolder));
    HWND window = WaitForFixtureWindow(&disabled.program, "Fixture window");
    ASSERT_TRUE(window != NULL);
    WindowFacts facts;
    ASSERT_TRUE(ReadWindowFacts(window, &facts));
    EXPECT_FALSE(facts.enabled);
    EXPECT_FALSE(PressCloseBox(window, 0)) << "a disabled window's close box does nothing";
    KillProgram(&disabled.program);
    EXPECT_TRUE(WaitForWindowGone(window, WaitMilliseconds));
}

TEST(Driver, TypingReplacesTheEditText)
{
    static const char *const texts[] = {"D:\\Suite 2", "", "x", "c:\\veltrane\\with a long tail"};

    for (const char *typed : texts) {
        SCOPED_TRACE(std::string("typing \"") + typed + "\"");
        ScopedProgram fixture;
        char folder[MAX_PATH];
        char text[128];
        char saved[MAX_PATH];
        ASSERT_TRUE(StartFixture(&fixture.program, "page", folder, sizeof folder));
        HWND page = WaitForFixtureWindow(&fixture.program, "Fixture page");
        ASSERT_TRUE(page != NULL);
        ASSERT_TRUE(ReadControlText(page, EditId, text, sizeof text));
        EXPECT_STREQ("c:\\veltrane", text);

        ASSERT_TRUE(TypeIntoEdit(page, EditId, typed));
        ASSERT_TRUE(ReadControlText(page, EditId, text, sizeof text));
        EXPECT_STREQ(typed, text);
        ASSERT_TRUE(PressButton(page, IDOK));
        EXPECT_EQ(IDOK, WaitForProgramExit(&fixture.program, WaitMilliseconds));
        snprintf(saved, sizeof saved, "%s\\typed.txt", folder);
        EXPECT_EQ(typed, ReadWholeFile(saved)) << "what the program itself saw";
    }
}

TEST(Driver, WindowFactsCaptureAndCloseBox)
{
    ScopedProgram fixture;
    char folder[MAX_PATH];
    ASSERT_TRUE(StartFixture(&fixture.program, "window", folder, sizeof folder));
    HWND window = WaitForFixtureWindow(&fixture.program, "Fixture window");
    ASSERT_TRUE(window != NULL);
    WindowQuery byClass = {NULL, "DriverFixture", fixture.program.processId};
    EXPECT_EQ(window, FindTopWindow(&byClass));
    WindowQuery otherProcess = {"Fixture window", NULL, fixture.program.processId + 4};
    EXPECT_EQ(NULL, FindTopWindow(&otherProcess));

    WindowFacts facts;
    ASSERT_TRUE(ReadWindowFacts(window, &facts));
    EXPECT_EQ(100, facts.frame.left);
    EXPECT_EQ(100, facts.frame.top);
    EXPECT_EQ(400, facts.frame.right);
    EXPECT_EQ(300, facts.frame.bottom);
    EXPECT_TRUE(facts.client.left > facts.frame.left && facts.client.bottom <= 300)
        << "client " << facts.client.left << "," << facts.client.top << " "
        << facts.client.right << "," << facts.client.bottom;
    EXPECT_EQ(WS_OVERLAPPEDWINDOW | WS_VISIBLE,
              facts.style & (WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    EXPECT_TRUE(facts.enabled);

    const int x = (facts.client.left + facts.client.right) / 2;
    const int y = (facts.client.top + facts.client.bottom) / 2;
    DWORD start = GetTickCount();
    while (ReadScreenPixel(x, y) != FixtureGreen && GetTickCount() - start < WaitMilliseconds)
        Sleep(25);
    EXPECT_EQ(FixtureGreen, ReadScreenPixel(x, y));

    ScreenImage shot;
    ASSERT_TRUE(CaptureWindow(window, &shot));
    EXPECT_EQ(100, shot.left);
    EXPECT_EQ(300, shot.width);
    EXPECT_EQ(200, shot.height);
    EXPECT_EQ(FixtureGreen, ImagePixel(&shot, x, y));
    EXPECT_EQ(FixtureGreen, ImagePixel(&shot, facts.client.right - 1, facts.client.bottom - 1));
    EXPECT_EQ(CLR_INVALID, ImagePixel(&shot, 99, 150));
    EXPECT_EQ(CLR_INVALID, ImagePixel(&shot, 400, 150));
    char bmp[MAX_PATH];
    snprintf(bmp, sizeof bmp, "%s\\window.bmp", folder);
    ASSERT_TRUE(SaveImageAsBmp(&shot, bmp));
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExA(bmp, GetFileExInfoStandard, &attributes));
    EXPECT_EQ(14u + 40u + 300u * 3 * 200, attributes.nFileSizeLow) << "rows of 900 bytes";
    FreeScreenImage(&shot);
    EXPECT_EQ(NULL, shot.pixels);

    ASSERT_TRUE(PressCloseBox(window));
    EXPECT_EQ(7, WaitForProgramExit(&fixture.program, WaitMilliseconds));
    EXPECT_TRUE(WaitForWindowGone(window, WaitMilliseconds));
}

TEST(Driver, CapturesKeepToTheScreen)
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        RECT area;
        RECT expected;  // left, top, width, height of the image; width 0: nothing captured
    } cases[] = {
        {{-50, -40, 10, 20}, {0, 0, 10, 20}},
        {{width - 5, height - 6, width + 100, height + 100}, {width - 5, height - 6, 5, 6}},
        {{width, 0, width + 10, 10}, {0, 0, 0, 0}},
        {{20, 20, 20, 30}, {0, 0, 0, 0}},
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "area " << c.area.left << "," << c.area.top << " "
                                        << c.area.right << "," << c.area.bottom);
        ScreenImage image;
        bool captured = CaptureScreen(&c.area, &image);
        EXPECT_EQ(c.expected.right != 0, captured);
        EXPECT_EQ(c.expected.left, image.left);
        EXPECT_EQ(c.expected.top, image.top);
        EXPECT_EQ(c.expected.right, image.width);
        EXPECT_EQ(c.expected.bottom, image.height);
        FreeScreenImage(&image);
    }
    ScreenImage whole;
    ASSERT_TRUE(CaptureScreen(NULL, &whole));
    EXPECT_EQ(width, whole.width);
    EXPECT_EQ(height, whole.height);
    EXPECT_EQ(CLR_INVALID, ImagePixel(&whole, -1, 0));
    EXPECT_EQ(CLR_INVALID, ImagePixel(&whole, 0, height));
    FreeScreenImage(&whole);
}

TEST(Driver, ScratchFoldersStartEmpty)
{
    char folder[MAX_PATH];
    char nested[MAX_PATH];
    char file[MAX_PATH];

    ASSERT_TRUE(MakeScratchFolder("scratch", folder, sizeof folder));
    EXPECT_STREQ("C:\\veltrane-e2e\\scratch", folder);
    snprintf(nested, sizeof nested, "%s\\a\\b", folder);
    snprintf(file, sizeof file, "%s\\a\\b\\f.txt", folder);
    ASSERT_TRUE(CreateDirectoryA((std::string(folder) + "\\a").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(nested, NULL));
    ASSERT_TRUE(WriteTextFile(file, "left over"));
    SetFileAttributesA(file, FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(MakeScratchFolder("scratch", folder, sizeof folder));
    EXPECT_TRUE(FileExists(folder));
    EXPECT_FALSE(FileExists(file)) << "a read-only file from the last run survived";
    EXPECT_FALSE(FileExists(nested));

    char tooSmall[8];
    EXPECT_FALSE(MakeScratchFolder("scratch", tooSmall, sizeof tooSmall));
    EXPECT_FALSE(CopyBuiltProgram("no-such-program.exe", folder, NULL));
    EXPECT_TRUE(RemoveFolderTree(folder));
    EXPECT_FALSE(FileExists(folder));
}

}  // namespace
