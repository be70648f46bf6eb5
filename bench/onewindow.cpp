// The baseline of the launch benchmark: the least a Windows program does to show one
// window. It runs until the window is closed.
#include <windows.h>

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = "BenchOneWindow";
    if (!RegisterClassA(&windowClass))
        return 255;
    HWND window = CreateWindowExA(0, "BenchOneWindow", "One window", WS_OVERLAPPEDWINDOW, 0, 0,
                                  640, 480, NULL, NULL, instance, NULL);
    if (!window)
        return 255;
    ShowWindow(window, showCommand);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
