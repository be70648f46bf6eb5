// The shell of setup as a user meets it: the real setup.exe and setup-copy.exe, started
// in a scratch folder on C:, watched and closed from outside. The display is 1024x768.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "pages_walk.h"
#include "resource.h"

namespace {

enum {
    AppearMilliseconds = 30000,  // Wine may take a while to start a process under load
    PaintMilliseconds = 30000,
    RunMilliseconds = 30000,     // the whole run, pages included
    BandCount = 30,
    MainStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
};

const char MainCaption[] = "Veltrane setup";
const char MainClass[] = "INSTALL";
const COLORREF ClassGray = RGB(128, 128, 128);  // GRAY_BRUSH

// Makes the scratch folder `folderName` holding `builtName` copied as `runName`.
bool PrepareFolder(const char *folderName, const char *builtName, const char *runName,
                   char *folder, int size)
{
    return MakeScratchFolder(folderName, folder, size) &&
           CopyBuiltProgram(builtName, folder, runName);
}

bool StartIn(Program *program, const char *folder, const char *runName, const char *arguments,
             bool showCommand = true)
{
    char path[MAX_PATH];

    snprintf(path, sizeof path, "%s\\%s", folder, runName);
    return StartProgram(program, path, arguments, folder, showCommand);
}

// A fresh scratch folder with `builtName` as inst.exe and brindle.exe, started there
// without arguments.
bool StartSetupIn(Program *program, const char *folderName, const char *builtName)
{
    char folder[MAX_PATH];

    // brindle lies beside setup, as on a medium: without it setup would say so in a box.
    return PrepareFolder(folderName, builtName, "inst.exe", folder, sizeof folder) &&
           CopyBuiltProgram("brindle.exe", folder, NULL) &&
           StartIn(program, folder, "inst.exe", NULL);
}

HWND WaitForMainWindow(const Program *program)
{
    WindowQuery query = {MainCaption, MainClass, program->processId};
    return WaitForTopWindow(&query, AppearMilliseconds);
}

// Leaves setup the way a user who does not want to install would, whatever page is up:
// "Exit Setup", else Cancel, else No, else OK on a message box. Without a page there is
// nothing to do: the run ends by itself. Returns the exit code, or ExitCodeStillRunning.
long LeaveSetup(const Program *program)
{
    static const int ExitButtons[] = {IDC_EXIT_SETUP, IDCANCEL, IDNO, IDOK};
    WindowQuery pages = {NULL, "#32770", program->processId};
    DWORD start = GetTickCount();

    for (;;) {
        long exitCode = WaitForProgramExit(program, 100);
        if (exitCode != ExitCodeStillRunning || GetTickCount() - start >= RunMilliseconds)
            return exitCode;
        HWND page = FindTopWindow(&pages);
        if (!page)
            continue;
        // The page's buttons are made with it; the first way out it has is pressed once
        // the page takes input.
        for (int button : ExitButtons) {
            if (GetDlgItem(page, button)) {
                if (PressButton(page, button))
                    WaitForWindowGone(page, PaintMilliseconds);
                break;
            }
        }
    }
}

// Polls the screen until the gradient is painted: the first band's blue at the client's
// top-left corner and the last band on the screen at its left edge, which is drawn last.
bool WaitForGradient(const RECT &client)
{
    const int band = (client.bottom - client.top) / 29;
    const int visibleBottom = std::min((int)client.bottom, GetSystemMetrics(SM_CYSCREEN));
    int last = 0;
    while (last + 1 < BandCount && client.top + (last + 1) * band + band / 2 < visibleBottom)
        last++;
    const int lastY = client.top + last * band + band / 2;
    DWORD start = GetTickCount();

    while (ReadScreenPixel(client.left + 2, client.top + 2) != RGB(0, 0, 255) ||
           ReadScreenPixel(client.left + 2, lastY) != RGB(0, 0, 255 - 8 * last)) {
        if (GetTickCount() - start >= PaintMilliseconds)
            return false;
        Sleep(25);
    }
    return true;
}

void SaveShot(const ScreenImage *image, const char *name)
{
    char folder[MAX_PATH];
    char path[MAX_PATH];

    snprintf(folder, sizeof folder, "%s\\e2e-shots", BuildFolder());
    CreateDirectoryA(folder, NULL);
    snprintf(path, sizeof path, "%s\\%s", folder, name);
    EXPECT_TRUE(SaveImageAsBmp(image, path)) << path;
}

struct CoverSearch {
    DWORD processId;
    HWND mainWindow;
    std::vector<RECT> *rects;
};

BOOL CALLBACK AddCover(HWND window, LPARAM context)
{
    CoverSearch *search = (CoverSearch *)context;
    DWORD processId = 0;
    RECT frame;

    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && window != search->mainWindow &&
        IsWindowVisible(window) && GetWindowRect(window, &frame))
        search->rects->push_back(frame);
    return TRUE;
}

// Frames of the process's other visible top-level windows: pages and message boxes.
std::vector<RECT> OtherWindowsOf(DWORD processId, HWND mainWindow)
{
    std::vector<RECT> rects;
    CoverSearch search = {processId, mainWindow, &rects};
    EnumWindows(AddCover, (LPARAM)&search);
    return rects;
}

bool IsCovered(const std::vector<RECT> &rects, int x, int y)
{
    POINT point = {x, y};
    for (const RECT &rect : rects)
        if (PtInRect(&rect, point))
            return true;
    return false;
}

// What a program started now finds as the double-click time. Wine keeps such settings
// per process once read, so the test program's own view would stay stale.
long DoubleClickTimeOfNewProcess(void)
{
    char windrive[MAX_PATH];
    ScopedProgram query;

    snprintf(windrive, sizeof windrive, "%s\\windrive.exe", BuildFolder());
    if (!StartProgram(&query.program, windrive, "double-click-time", NULL))
        return -1;
    return WaitForProgramExit(&query.program, AppearMilliseconds);
}

std::string ColourText(COLORREF colour)
{
    char text[48];
    snprintf(text, sizeof text, "rgb(%d,%d,%d)", GetRValue(colour), GetGValue(colour),
             GetBValue(colour));
    return text;
}

TEST(SetupShellEndToEnd, MainWindowCoversTheScreenWithThirtyBlueBands)
{
    ScopedProgram setup;
    ASSERT_TRUE(StartSetupIn(&setup.program, "window", "setup.exe"));
    HWND window = WaitForMainWindow(&setup.program);
    ASSERT_TRUE(window != NULL) << "no visible window of class INSTALL titled " << MainCaption;

    WindowFacts facts;
    ASSERT_TRUE(ReadWindowFacts(window, &facts));
    // The system cuts a new window down to the largest size a user could drag it to;
    // under Wine a maximized window is taller than that.
    const int width = std::min(GetSystemMetrics(SM_CXMAXIMIZED) - 10,
                               GetSystemMetrics(SM_CXMAXTRACK));
    const int height = std::min(GetSystemMetrics(SM_CYMAXIMIZED) - 10,
                                GetSystemMetrics(SM_CYMAXTRACK));
    EXPECT_EQ(0, facts.frame.left);
    EXPECT_EQ(0, facts.frame.top);
    EXPECT_EQ(width, facts.frame.right - facts.frame.left);
    EXPECT_EQ(height, facts.frame.bottom - facts.frame.top);
    // The welcome page is modal: once it is up, the main window is disabled beneath it, and
    // whether it is up yet when the style is read is a matter of timing.
    EXPECT_EQ((LONG)MainStyle, facts.style & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_DISABLED))
        << std::hex << "style 0x" << facts.style;
    EXPECT_TRUE(facts.style & WS_VISIBLE);
    EXPECT_FALSE(facts.style & WS_MAXIMIZEBOX);
    EXPECT_EQ(0, facts.exStyle & ~WS_EX_WINDOWEDGE) << std::hex << "exstyle 0x" << facts.exStyle;

    ASSERT_TRUE(WaitForGradient(facts.client))
        << "top-left client pixel is " << ColourText(ReadScreenPixel(facts.client.left + 2,
                                                                     facts.client.top + 2));
    ScreenImage shot;
    // The wizard's pages open over the window from tick 2 on; what they cover, before or
    // after the capture, is not looked at.
    std::vector<RECT> covered = OtherWindowsOf(setup.program.processId, window);
    ASSERT_TRUE(CaptureWindow(window, &shot));
    std::vector<RECT> coveredAfter = OtherWindowsOf(setup.program.processId, window);
    covered.insert(covered.end(), coveredAfter.begin(), coveredAfter.end());
    SaveShot(&shot, "shell-main-window.bmp");

    // The window reaches below the screen; only the rows on the screen can be seen.
    const int clientHeight = facts.client.bottom - facts.client.top;
    const int visibleBottom = std::min((int)facts.client.bottom, GetSystemMetrics(SM_CYSCREEN));
    const int band = clientHeight / 29;
    std::vector<int> columns;
    for (int x = facts.client.left; x < facts.client.right; x += 37)
        columns.push_back(x);
    columns.push_back(facts.client.right - 1);
    ASSERT_GT(band, 0) << "client height " << clientHeight;

    int bandsSeen = 0;
    for (int i = 0; i < BandCount; i++) {
        int y = facts.client.top + i * band + band / 2;
        if (y >= visibleBottom)
            break;
        int seen = 0;
        for (int x : columns) {
            if (IsCovered(covered, x, y))
                continue;
            COLORREF colour = ImagePixel(&shot, x, y);
            EXPECT_EQ(RGB(0, 0, 255 - 8 * i), colour)
                << "band " << i + 1 << " at (" << x << "," << y << ") is " << ColourText(colour);
            seen++;
        }
        bandsSeen += seen > 0;
    }
    EXPECT_EQ(BandCount, bandsSeen) << "bands with a visible sample";

    for (int y = facts.client.top; y < visibleBottom; y++) {
        for (int x : columns) {
            if (IsCovered(covered, x, y))
                continue;
            COLORREF colour = ImagePixel(&shot, x, y);
            ASSERT_NE(RGB(0, 0, 0), colour) << "black at (" << x << "," << y << ")";
            if (y >= facts.client.top + BandCount * band) {
                ASSERT_EQ(ClassGray, colour) << "below the bands at (" << x << "," << y
                                             << ") is " << ColourText(colour);
            }
        }
    }
    FreeScreenImage(&shot);

    EXPECT_EQ(0, LeaveSetup(&setup.program));
}

TEST(SetupShellEndToEnd, CloseBoxEndsTheRunAtOnceWithExitCodeZero)
{
    ScopedProgram setup;
    ASSERT_TRUE(StartSetupIn(&setup.program, "close", "setup.exe"));
    HWND window = WaitForMainWindow(&setup.program);
    ASSERT_TRUE(window != NULL);

    // Behind the pages the close box does nothing. Once the licence is accepted the window
    // waits about three seconds for the completion page, with nothing in front of it: the
    // close box then ends the run before that page comes, or the run would wait for the user.
    AcceptLicence(setup.program.processId);
    ASSERT_TRUE(PressCloseBox(window));
    EXPECT_EQ(0, WaitForProgramExit(&setup.program, RunMilliseconds))
        << "the close box did not end the run";
}

struct CleanUpCase {
    const char *builtName;
    const char *runName;
    const char *arguments;
    bool setupExeRemains;
    const char *why;
    bool showCommand = true;
};

TEST(SetupShellEndToEnd, ExitCleanUpAndArgumentsIgnored)
{
    static const CleanUpCase cases[] = {
        {"setup.exe", "inst.exe", NULL, false, "in place: deletes setup.exe beside it"},
        {"setup.exe", "inst.exe", "-x /y file", false, "arguments change nothing"},
        {"setup-copy.exe", "inst.exe", NULL, true, "copy mode leaves setup.exe alone"},
        {"setup-copy.exe", "inst.exe", "-x /y file", true, "copy mode with arguments"},
        {"setup.exe", "setup.exe", NULL, true, "its own running file cannot go; still 0"},
        // The window is shown as normal, not with the zero (SW_HIDE) of the unused field.
        {"setup.exe", "inst.exe", NULL, false, "started without a show command", false},
    };
    WindowFacts first = {};

    for (const CleanUpCase &c : cases) {
        SCOPED_TRACE(std::string(c.why) + ": " + c.builtName + " run as " + c.runName +
                     (c.arguments ? std::string(" ") + c.arguments : std::string()));
        // A value setup is sure to change, so that the check below means something.
        ASSERT_TRUE(SetDoubleClickTime(500));
        ASSERT_EQ(500, DoubleClickTimeOfNewProcess());
        ScopedProgram setup;
        char folder[MAX_PATH];
        char setupExe[MAX_PATH];
        ASSERT_TRUE(PrepareFolder("cleanup", c.builtName, c.runName, folder, sizeof folder));
        snprintf(setupExe, sizeof setupExe, "%s\\setup.exe", folder);
        if (!FileExists(setupExe)) {
            ASSERT_TRUE(WriteTextFile(setupExe, "not a program\r\n"));
        }
        ASSERT_TRUE(StartIn(&setup.program, folder, c.runName, c.arguments, c.showCommand));

        HWND window = WaitForMainWindow(&setup.program);
        ASSERT_TRUE(window != NULL);
        WindowFacts facts;
        ASSERT_TRUE(ReadWindowFacts(window, &facts));
        if (&c == &cases[0]) {
            first = facts;
        } else {
            EXPECT_TRUE(EqualRect(&first.frame, &facts.frame));
            EXPECT_EQ(first.style & ~WS_DISABLED, facts.style & ~WS_DISABLED);
        }

        EXPECT_EQ(0, LeaveSetup(&setup.program));
        EXPECT_EQ(c.setupExeRemains, FileExists(setupExe));
        EXPECT_EQ(200, DoubleClickTimeOfNewProcess());
    }
}

}  // namespace
