// Drives the real programs from outside, as a user would: start them in a folder, find
// their windows, press buttons, type, send keys, close, and look at the screen.
// Runs in the same Wine session as the program under test. Every wait is bounded.
#ifndef VELTRANE_E2E_DRIVER_H
#define VELTRANE_E2E_DRIVER_H

#include <windows.h>

enum { ExitCodeStillRunning = -1 };  // WaitForProgramExit: the program did not end in time

// How long an action waits for what a user would wait for before acting (a page that has
// come up and taken the keyboard, a button that can be pressed): only a stuck program takes
// this long. An action that gives up says on stderr which precondition never came.
enum { ActionMilliseconds = 30000 };

// The bound of one test case. While the clock runs, every wait of the driver ends by the
// case's bound at the latest, counted from the last step of the case that came (a program
// started, a window or state waited for, a program's end; see CaseAdvanced), so that a case
// that went wrong fails within it; and every program that StartProgram starts, with
// whatever it starts in turn, belongs to the case.
void StartCaseClock(DWORD milliseconds);
// `milliseconds`, or the time left to the case's bound if that is less (0 once it is over
// or the case has failed); `milliseconds` itself when no case runs. A test's own polling
// loop takes its bound here.
DWORD CaseMilliseconds(DWORD milliseconds);
// The case made a step (e.g. a copy's progress bar moved): its bound counts from now.
void CaseAdvanced(void);
// The case has failed: from now on it waits for nothing.
void ExpireCaseClock(void);
// Ends every program of the case that still runs and waits (bounded) until they are gone.
void EndCasePrograms(void);
// Ends the case's programs and stops the clock.
void StopCaseClock(void);

// A started program. The handle belongs to this record; ScopedProgram closes it.
struct Program {
    HANDLE process;  // NULL when nothing was started
    DWORD processId;
};

// Starts `path` with `arguments` (NULL or "" for none) in `directory`, shown normally, or
// with `showCommand` false given no show command at all (a zeroed STARTUPINFO).
// The command line is the quoted path, a blank and the arguments. Returns false and leaves
// the record empty when CreateProcessA fails.
bool StartProgram(Program *program, const char *path, const char *arguments,
                  const char *directory, bool showCommand = true);

// Waits at most `milliseconds` for the program to end. Returns its exit code, or
// ExitCodeStillRunning when it is still running.
long WaitForProgramExit(const Program *program, DWORD milliseconds);

// Ends the program if it still runs (exit code 9) and closes its handle.
void KillProgram(Program *program);

// Owns a started program: whatever way a test leaves, a program still running is killed,
// so a failed test never leaves a window behind for the next one.
struct ScopedProgram {
    Program program;
    ScopedProgram() : program{NULL, 0} {}
    ~ScopedProgram() { KillProgram(&program); }
    ScopedProgram(const ScopedProgram &) = delete;
    ScopedProgram &operator=(const ScopedProgram &) = delete;
};

// Window search. NULL/0 fields match anything; only visible top-level windows count
// (owned ones such as dialogs and message boxes included).
struct WindowQuery {
    const char *caption;    // exact window text
    const char *className;  // exact class name, e.g. "#32770" for dialogs and message boxes
    DWORD processId;
};

// The first window that matches now, or NULL.
HWND FindTopWindow(const WindowQuery *query);
// Polls until a matching window appears; NULL after `milliseconds`.
HWND WaitForTopWindow(const WindowQuery *query, DWORD milliseconds);
// Polls until `window` is gone or hidden; false if it is still shown after `milliseconds`.
bool WaitForWindowGone(HWND window, DWORD milliseconds);

// Where a window is and what it is.
struct WindowFacts {
    RECT frame;      // screen coordinates of the whole window
    RECT client;     // screen coordinates of the client area
    LONG style;
    LONG exStyle;
    bool enabled;
};
bool ReadWindowFacts(HWND window, WindowFacts *facts);

// Control text (WM_GETTEXT, bounded in time). Returns false when the control is missing
// or does not answer; the buffer then holds "".
bool ReadControlText(HWND dialog, int controlId, char *text, int size);
bool ReadWindowText(HWND window, char *text, int size);

// Presses the button `controlId` of `dialog` once it is there, shown and enabled on a shown,
// enabled page. The click is posted, so a press that opens a modal page or message box never
// blocks the driver. Returns false when the button stays missing, hidden or disabled for
// `milliseconds`: a user could not press it either.
bool PressButton(HWND dialog, int controlId, DWORD milliseconds = ActionMilliseconds);

// Types `text` into the edit `controlId`, once it is there, shown and enabled, one WM_CHAR
// per byte (a character of two bytes as two), after clearing it as a user would (select
// all, Backspace); typing "" leaves it empty.
bool TypeIntoEdit(HWND dialog, int controlId, const char *text,
                  DWORD milliseconds = ActionMilliseconds);

enum DriverKey { KeyEnter, KeyEscape };
// Sends the key to the control that has the focus in `window`'s thread (GetGUIThreadInfo),
// so a dialog handles it as it would the keyboard: Enter is the default button, Escape is
// Cancel. Waits until `window` is the active window of its thread with the focus inside it;
// returns false when that never comes.
bool PressKey(HWND window, DriverKey key, DWORD milliseconds = ActionMilliseconds);

// The control that has the keyboard in `window` once the window is the active one of its
// thread with the focus inside it (what a user sees as the focus); NULL when that never comes.
HWND WaitForKeyboardFocus(HWND window, DWORD milliseconds = ActionMilliseconds);

// Posts a marker to a button of `window` behind whatever was already posted to its thread,
// and waits until that thread has handled it, so that input the window must ignore can be
// judged once it has been handled. Returns true then; false when `window` went away or was
// hidden first, or after `milliseconds`.
bool WaitUntilHandled(HWND window, DWORD milliseconds);

// Uses the close box of `window` (WM_SYSCOMMAND SC_CLOSE, posted) once the window is shown,
// enabled and has its system menu. Returns false when that never comes, e.g. behind a modal
// page, where a user's click does nothing.
bool PressCloseBox(HWND window, DWORD milliseconds = ActionMilliseconds);
// The close request that Alt+F4 makes of a window, also of one without a close box
// (WM_SYSCOMMAND SC_CLOSE, posted), once the window is the active one of its thread.
bool RequestClose(HWND window, DWORD milliseconds = ActionMilliseconds);

// Message boxes: a visible "#32770" window of the process, owned by another window, with
// the given caption ("Error", "Message"). Its text is the static 0xFFFF.
HWND WaitForMessageBox(DWORD processId, const char *caption, DWORD milliseconds);
bool ReadMessageBoxText(HWND box, char *text, int size);
// IDOK or IDCANCEL, pressed as PressButton does.
bool AnswerMessageBox(HWND box, int buttonId, DWORD milliseconds = ActionMilliseconds);

// A copy of part of the screen, 24-bit, top row first.
struct ScreenImage {
    int left, top, width, height;  // the captured rectangle, screen coordinates
    unsigned char *pixels;         // blue, green, red; rows padded to 4 bytes; NULL if none
    int rowBytes;
};
// Captures the part of `area` (screen coordinates) that lies on the screen; the whole
// screen when `area` is NULL. The image's rectangle says what was captured.
bool CaptureScreen(const RECT *area, ScreenImage *image);
bool CaptureWindow(HWND window, ScreenImage *image);  // the window's frame, as on screen
void FreeScreenImage(ScreenImage *image);
// Colour at screen point (x, y) inside the image, as COLORREF; CLR_INVALID outside it.
COLORREF ImagePixel(const ScreenImage *image, int x, int y);
bool SaveImageAsBmp(const ScreenImage *image, const char *path);
// One pixel straight from the screen (GetPixel); CLR_INVALID when it cannot be read.
COLORREF ReadScreenPixel(int x, int y);

// Scratch folders on the prefix's C: drive. Makes C:\veltrane-e2e\<name>, emptied of
// whatever an earlier run left, and writes its path (no final backslash) to `path`.
bool MakeScratchFolder(const char *name, char *path, int size);
// Deletes a folder and everything below it; true when it is gone.
bool RemoveFolderTree(const char *path);
// Copies the built program `builtName` (e.g. "setup.exe") into `folder` as `targetName`
// (NULL: the same name). The shipped programs (setup.exe, setup-copy.exe, brindle.exe) come
// from ShippedProgramFolder(), every other program from the build folder.
bool CopyBuiltProgram(const char *builtName, const char *folder, const char *targetName);
// The build folder as a Windows path (Z:\...), where the test programs are.
const char *BuildFolder(void);
// Where the shipped programs under test are: the host folder that VELTRANE_E2E_PROGRAMS
// names (the i686 build), as a Windows path, or else the build folder.
const char *ShippedProgramFolder(void);

bool FileExists(const char *path);
bool WriteTextFile(const char *path, const char *text);

#endif
