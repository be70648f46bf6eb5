#include "shell/pump.h"

int IsPumpedMessage(UINT message)
{
    switch (message) {
    case WM_PAINT:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        return 1;
    default:
        return 0;
    }
}

void PumpMessages(void)
{
    MSG message;
    int quitSeen = 0;
    WPARAM quitCode = 0;

    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Posting it again here would only find it again; the outer loop must see it.
            quitSeen = 1;
            quitCode = message.wParam;
        } else if (IsPumpedMessage(message.message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (quitSeen)
        PostQuitMessage((int)quitCode);
}
