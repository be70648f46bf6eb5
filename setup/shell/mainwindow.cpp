// The main window: paints the gradient and lets its timer drive the run.

#include "shell/mainwindow.h"
#include "shell/background.h"
#include "shell/state.h"
#include "shell/text.h"
#include "wizard/pages.h"
#include "wizard/wizard.h"
#include "resource.h"

static void TakeClientSize(void)
{
    RECT client;

    GetClientRect(MainWindow, &client);
    ClientWidth = client.right;
    ClientHeight = client.bottom;
}

static void OnPaint(void)
{
    PaintBackground();
    if (FirstPaint) {
        // Put the pointer where the pages' buttons will be.
        SetCursorPos(350, 460);
        FirstPaint = 0;
    }
}

static void OfferMainProgram(void)
{
    if (ShowCompletedPage() == IDC_START_MAIN) {
        char program[PathBufferSize + sizeof "\\orvane"];
        char directory[PathBufferSize + 1];
        // The install directory never holds a blank, so the command needs no quotes; a
        // drive's root is given as "X:\", which names it wherever orvane was started from.
        JoinDirectory(program, sizeof program, InstallDirectory, "\\orvane");
        JoinDirectory(directory, sizeof directory, InstallDirectory, "");
        FormatText(StartCommand, sizeof StartCommand, "%s %s", program, directory);
        WinExec(StartCommand, SW_SHOW);
    }
    SendMessageA(MainWindow, WM_CLOSE, 0, 0);
}

static void OnTimer(void)
{
    switch (AdvanceTicks(&Ticks, InstallFinished)) {
    case TickStartWizard:
        RunWizard();
        break;
    case TickShowCompletedPage:
        OfferMainProgram();
        break;
    case TickNothing:
        break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_MOVE:
        return 0;
    case WM_DESTROY:
        MainWindowDestroyed = 1;
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        TakeClientSize();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_TIMER:
        OnTimer();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
