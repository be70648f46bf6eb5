// A small program for the driver's own tests: whatever it is asked to show, its exit code
// tells what the driver did to it.
//   driver_fixture box              message box "Error" (OK/Cancel): exit code = the button
//   driver_fixture page             the page of driver_fixture.rc: exit code = the button;
//                                   the edit's final text goes to typed.txt
//   driver_fixture window           a green window "Fixture window" at (100,100), 300x200;
//                                   closing it gives exit code 7
//   driver_fixture disabled-window  the same window, disabled
#include <windows.h>
#include <string.h>

enum { PageId = 100, EditId = 101, ClosedExitCode = 7, UsageExitCode = 99 };

static const char WindowClass[] = "DriverFixture";
static const COLORREF WindowColour = RGB(10, 200, 30);

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(ClosedExitCode);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Disabled from its creation on, so that nobody sees it enabled for a moment.
static HWND MakeWindow(HINSTANCE instance, bool enabled)
{
    WNDCLASSA windowClass;

    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = CreateSolidBrush(WindowColour);
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, WindowClass, "Fixture window",
                                  WS_OVERLAPPEDWINDOW | (enabled ? 0 : WS_DISABLED), 100, 100,
                                  300, 200, NULL, NULL, instance, NULL);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

static int RunWindow(HINSTANCE instance, bool enabled)
{
    MSG message;

    MakeWindow(instance, enabled);
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return (int)message.wParam;
}

static void SaveEditText(HWND page)
{
    char text[256];
    DWORD written;

    int length = GetDlgItemTextA(page, EditId, text, sizeof text);
    HANDLE file = CreateFileA("typed.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, text, (DWORD)length, &written, NULL);
        CloseHandle(file);
    }
}

static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(page, EditId, "c:\\veltrane");
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED || LOWORD(wParam) == EditId)
            return FALSE;
        SaveEditText(page);
        EndDialog(page, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    if (!strcmp(commandLine, "box")) {
        HWND owner = MakeWindow(instance, true);
        return MessageBoxA(owner, "Fixture text", "Error", MB_OKCANCEL);
    }
    if (!strcmp(commandLine, "page"))
        return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(PageId), NULL, PageProc, 0);
    if (!strcmp(commandLine, "window"))
        return RunWindow(instance, true);
    if (!strcmp(commandLine, "disabled-window"))
        return RunWindow(instance, false);
    return UsageExitCode;
}
