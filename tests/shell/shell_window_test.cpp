// The message pump and the gradient painter on real windows under Wine.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

#include "shell/background.h"
#include "shell/pump.h"
#include "shell/state.h"

namespace {

UINT Received[64];
int ReceivedCount;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_KEYFIRST && ReceivedCount < 64)
        Received[ReceivedCount++] = message;
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK GradientProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PaintBackground();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char *className, WNDPROC procedure, int clientHeight)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(GRAY_BRUSH);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    RECT frame = {0, 0, 300, clientHeight};
    AdjustWindowRect(&frame, WS_POPUP, FALSE);
    return CreateWindowExA(0, className, "test", WS_POPUP, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

bool WasReceived(UINT message)
{
    for (int i = 0; i < ReceivedCount; i++)
        if (Received[i] == message)
            return true;
    return false;
}

TEST(PumpMessages, DispatchesInputCommandsAndTimersDiscardsTheRest)
{
    HWND window = MakeWindow("PumpTest", RecordingProc, 50);
    ASSERT_TRUE(window != NULL);
    const UINT dispatched[] = {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP,
                               WM_COMMAND, WM_TIMER, WM_MOUSEMOVE, WM_LBUTTONDOWN,
                               WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
                               WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP,
                               WM_MBUTTONDBLCLK};
    const UINT discarded[] = {WM_DEADCHAR, WM_SYSCHAR, WM_SYSDEADCHAR, WM_NCLBUTTONDOWN,
                              WM_NCLBUTTONUP, WM_NCMOUSEMOVE, WM_USER + 1, WM_APP + 7};
    ReceivedCount = 0;
    for (UINT message : dispatched)
        PostMessageA(window, message, 0, 0);
    for (UINT message : discarded)
        PostMessageA(window, message, 0, 0);
    PumpMessages();

    for (UINT message : dispatched)
        EXPECT_TRUE(WasReceived(message)) << "message " << message << " not dispatched";
    for (UINT message : discarded)
        EXPECT_FALSE(WasReceived(message)) << "message " << message << " dispatched";
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, NULL, 0, 0, PM_REMOVE)) << "left in queue: " << left.message;
    DestroyWindow(window);
}

TEST(PumpMessages, QuitRequestSurvivesThePump)
{
    HWND window = MakeWindow("PumpQuitTest", RecordingProc, 50);
    PostMessageA(window, WM_COMMAND, 0, 0);
    PostQuitMessage(7);
    PostMessageA(window, WM_TIMER, 0, 0);
    ReceivedCount = 0;
    PumpMessages();
    EXPECT_TRUE(WasReceived(WM_TIMER)) << "messages behind the quit request are still handled";

    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ((UINT)WM_QUIT, message.message);
    EXPECT_EQ(7u, (unsigned)message.wParam);
    DestroyWindow(window);
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        ;
}

TEST(Gradient, BandHeightAndColours)
{
    const struct { int client, band; } heights[] = {
        {0, 0}, {28, 0}, {29, 1}, {57, 1}, {58, 2}, {812, 28}, {870, 30}, {-29, -1},
    };
    for (auto h : heights)
        EXPECT_EQ(h.band, BandHeight(h.client)) << "client height " << h.client;
    EXPECT_EQ(255, BandBlue(0));
    EXPECT_EQ(247, BandBlue(1));
    EXPECT_EQ(23, BandBlue(29));
    for (int band = 0; band < BandCount; band++)
        EXPECT_GT(BandBlue(band), 0) << "band " << band << " is black";
}

COLORREF PixelAfterPaint(int clientHeight, int x, int y)
{
    MainWindow = MakeWindow("GradientTest", GradientProc, clientHeight);
    ClientHeight = clientHeight;
    ResetPaintState();
    ShowWindow(MainWindow, SW_SHOWNA);
    UpdateWindow(MainWindow);
    HDC screen = GetDC(MainWindow);
    COLORREF pixel = GetPixel(screen, x, y);
    ReleaseDC(MainWindow, screen);
    DestroyWindow(MainWindow);
    MainWindow = NULL;
    return pixel;
}

TEST(Gradient, ShortClientAreaShowsOnePixelBandsThenGray)
{
    // 57 pixels: bands of 1 pixel in rows 0..29, the class's gray below them.
    EXPECT_EQ(RGB(0, 0, 255), PixelAfterPaint(57, 10, 0));
    EXPECT_EQ(RGB(0, 0, 23), PixelAfterPaint(57, 10, 29));
    EXPECT_EQ(RGB(128, 128, 128), PixelAfterPaint(57, 10, 30));
    EXPECT_EQ(RGB(128, 128, 128), PixelAfterPaint(57, 299, 56));
}

TEST(Gradient, BelowTwentyNinePixelsNoBand)
{
    EXPECT_EQ(RGB(128, 128, 128), PixelAfterPaint(28, 10, 0));
    EXPECT_EQ(RGB(128, 128, 128), PixelAfterPaint(28, 10, 27));
}

} // namespace

namespace {

// Every text of setup is built with snprintf into fixed buffers; on this runtime it rests on
// msvcrt's _vsnprintf, which leaves a cut text unterminated unless the wrapper mends it.
TEST(BoundedFormatting, CutTextIsTerminatedWithinItsBuffer)
{
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    snprintf(buffer, 5, "%s\\%s", "abc", "defgh");
    EXPECT_STREQ("abc\\", buffer);
    EXPECT_EQ('x', buffer[5]) << "wrote past the given size";

    memset(buffer, 'x', sizeof buffer);
    snprintf(buffer, 5, "%s", "abcd");
    EXPECT_STREQ("abcd", buffer) << "exact fit";
}

} // namespace
