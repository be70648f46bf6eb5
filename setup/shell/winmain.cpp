// Entry point of setup: source directory, main window, timer, outer loop, exit clean-up.
// Exit codes: 0 after an installation that completed, or when the user left before anything
// was changed; when Veltrane was not installed, 1 (ExitCodeNotInstalled) when the copy
// stopped or the tree was refused, 2 (ExitCodeClosedInCopy) when the main window was closed
// during the copy, 3 (ExitCodeFolderRefused) when setup's own folder was refused (its path
// too long, or in place a blank in it); 255 when the window class cannot be registered or
// the main window cannot be created.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "shell/background.h"
#include "shell/files.h"
#include "shell/mainwindow.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "resource.h"

enum { MainTimerId = 0x12345678, TickMilliseconds = 100, FailedStartExitCode = 255 };

static const char MainWindowClass[] = "INSTALL";

static int RegisterMainClass(void)
{
    WNDCLASSA windowClass;

    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = AppInstance;
    windowClass.hIcon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    // WM_ERASEBKGND erases with gray before the gradient goes over it.
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = MainWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

static HWND CreateMainWindow(void)
{
    short width = (short)(GetSystemMetrics(SM_CXMAXIMIZED) - 10);
    short height = (short)(GetSystemMetrics(SM_CYMAXIMIZED) - 10);

    return CreateWindowExA(0, MainWindowClass, "Veltrane setup",
                           WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX, 0, 0,
                           width, height, NULL, NULL, AppInstance, NULL);
}

// setup must not depend on how its thread was started: with the x87 unit rounding to 64-bit
// mantissas, doubles held in its registers would differ from stored ones (the bar's
// position: 3899 for 3900 at 39 %). Windows compilers' runtimes set 53 bits, as done here;
// x86_64 computes doubles in SSE2.
static void UseDoublePrecision(void)
{
#if defined(__i386__)
    unsigned short control;

    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    control = (unsigned short)((control & ~0x0300) | 0x0200);
    __asm__ __volatile__("fldcw %0" : : "m"(control));
#endif
}

static void RunMessageLoop(void)
{
    MSG message;

    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

static void CleanUpAtExit(void)
{
    DeleteFileA(LinksInfPath);
    // In place, nothing changes the current directory, so this is setup's own folder.
    if (InPlaceInstall)
        DeleteFileA("setup.exe");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    char currentDirectory[SourceDirectoryLimit];

    UseDoublePrecision();
    AppInstance = instance;
    if (ReadCurrentDirectory(currentDirectory, sizeof currentDirectory) == 0)
        ComposeSourceDirectory(SourceDirectory, sizeof SourceDirectory, currentDirectory,
                               InPlaceInstall);
    else
        SourceDirectoryTooLong = 1;

    ResetPaintState();
    Painter.context = PaintContextNone;

    if (!RegisterMainClass())
        return FailedStartExitCode;
    ClipCursor(NULL);
    InitCommonControls();
    SetDoubleClickTime(200);

    MainWindow = CreateMainWindow();
    if (!MainWindow) {
        CleanUpAtExit();
        return FailedStartExitCode;
    }
    ShowWindow(MainWindow, showCommand);
    SetTimer(MainWindow, MainTimerId, TickMilliseconds, NULL);
    Ticks.count = 0;

    RunMessageLoop();
    CleanUpAtExit();
    return SetupExitCode;
}
