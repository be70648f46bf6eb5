#ifndef VELTRANE_SHELL_MAINWINDOW_H
#define VELTRANE_SHELL_MAINWINDOW_H

#include <windows.h>

// Window procedure of the class INSTALL: the near-full-screen gradient window that owns
// every page and whose timer drives the run.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
