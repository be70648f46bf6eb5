// The driver works only through what another process may do to a program's windows:
// finding them, posting input to them and reading the screen. Clicks and keys are posted,
// never sent, so that a press which opens a modal loop in the program cannot block us.
#include "driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef VELTRANE_BUILD_DIR
#error "VELTRANE_BUILD_DIR must name the build folder (a host path)"
#endif

enum {
    PollMilliseconds = 25,
    AnswerMilliseconds = 5000,  // a control that does not answer within this is hung
    KilledExitCode = 9,
    MessageBoxTextId = 0xFFFF,
};

// The case under way: when it last advanced, its bound, whether it has failed, and
// the job that holds every program it started (and the programs those start). The
// watchdog reads the clock from another thread.
static struct {
    bool running;
    volatile bool failed;
    volatile DWORD start;
    DWORD bound;
    HANDLE programs;
} caseClock;

void StartCaseClock(DWORD milliseconds)
{
    caseClock.running = true;
    caseClock.failed = false;
    caseClock.start = GetTickCount();
    caseClock.bound = milliseconds;
    caseClock.programs = CreateJobObjectA(NULL, NULL);
}

DWORD CaseMilliseconds(DWORD milliseconds)
{
    if (!caseClock.running)
        return milliseconds;
    if (caseClock.failed)
        return 0;
    DWORD spent = GetTickCount() - caseClock.start;
    DWORD left = spent < caseClock.bound ? caseClock.bound - spent : 0;
    return milliseconds < left ? milliseconds : left;
}

// Whether a program of the case still runs.
static bool CaseProgramsRun(void)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    return QueryInformationJobObject(caseClock.programs, JobObjectBasicAccountingInformation,
                                     &info, sizeof info, NULL) &&
           info.ActiveProcesses > 0;
}

void EndCasePrograms(void)
{
    if (!caseClock.programs)
        return;
    TerminateJobObject(caseClock.programs, KilledExitCode);
    DWORD start = GetTickCount();
    while (CaseProgramsRun() && GetTickCount() - start < AnswerMilliseconds)
        Sleep(PollMilliseconds);
}

void CaseAdvanced(void)
{
    if (caseClock.running && !caseClock.failed)
        caseClock.start = GetTickCount();
}

void ExpireCaseClock(void)
{
    caseClock.failed = true;
}

void StopCaseClock(void)
{
    EndCasePrograms();
    if (caseClock.programs)
        CloseHandle(caseClock.programs);
    caseClock.programs = NULL;
    caseClock.running = false;
}

// Polls `ready` until it holds or `milliseconds` have passed, within the case's bound; once
// at least, so that a wait of 0 asks just once.
template <typename Condition>
static bool WaitUntil(Condition ready, DWORD milliseconds)
{
    DWORD start = GetTickCount();

    milliseconds = CaseMilliseconds(milliseconds);
    while (!ready()) {
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(PollMilliseconds);
    }
    CaseAdvanced();
    return true;
}

// An action whose precondition never came: says which, so that a failing test names the
// state the program was stuck in rather than only the action.
static bool Refused(const char *action, const char *precondition, DWORD milliseconds)
{
    fprintf(stderr, "driver: %s: %s (waited %lu ms)\n", action, precondition,
            (unsigned long)milliseconds);
    return false;
}

bool StartProgram(Program *program, const char *path, const char *arguments,
                  const char *directory, bool showCommand)
{
    char commandLine[1024];
    STARTUPINFOA startup;
    PROCESS_INFORMATION started;

    program->process = NULL;
    program->processId = 0;
    int length = snprintf(commandLine, sizeof commandLine, "\"%s\"%s%s", path,
                          arguments && arguments[0] ? " " : "", arguments ? arguments : "");
    if (length < 0 || length >= (int)sizeof commandLine)
        return false;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (showCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
    }
    // Suspended until it is in the case's job, so that nothing it starts escapes the job.
    if (!CreateProcessA(path, commandLine, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, directory,
                        &startup, &started)) {
        fprintf(stderr, "driver: cannot start %s in %s (error %lu)\n", path,
                directory ? directory : "(here)", GetLastError());
        return false;
    }
    if (caseClock.programs && !AssignProcessToJobObject(caseClock.programs, started.hProcess))
        fprintf(stderr, "driver: %s is not in the case's job (error %lu)\n", path,
                GetLastError());
    CaseAdvanced();
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    program->process = started.hProcess;
    program->processId = started.dwProcessId;
    return true;
}

long WaitForProgramExit(const Program *program, DWORD milliseconds)
{
    DWORD exitCode;

    if (!program->process)
        return ExitCodeStillRunning;
    if (WaitForSingleObject(program->process, CaseMilliseconds(milliseconds)) != WAIT_OBJECT_0)
        return ExitCodeStillRunning;
    CaseAdvanced();
    if (!GetExitCodeProcess(program->process, &exitCode))
        return ExitCodeStillRunning;
    return (long)exitCode;
}

void KillProgram(Program *program)
{
    if (!program->process)
        return;
    if (WaitForSingleObject(program->process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program->process, KilledExitCode);
        WaitForSingleObject(program->process, AnswerMilliseconds);
    }
    CloseHandle(program->process);
    program->process = NULL;
    program->processId = 0;
}

struct WindowSearch {
    const WindowQuery *query;
    HWND found;
    bool ownedOnly;
};

static bool WindowMatches(HWND window, const WindowQuery *query)
{
    char text[256];

    if (!IsWindowVisible(window))
        return false;
    if (query->processId) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (processId != query->processId)
            return false;
    }
    if (query->className) {
        if (!GetClassNameA(window, text, sizeof text) || strcmp(text, query->className) != 0)
            return false;
    }
    if (query->caption) {
        GetWindowTextA(window, text, sizeof text);
        if (strcmp(text, query->caption) != 0)
            return false;
    }
    return true;
}

static BOOL CALLBACK TestTopWindow(HWND window, LPARAM context)
{
    WindowSearch *search = (WindowSearch *)context;

    if (search->ownedOnly && !GetWindow(window, GW_OWNER))
        return TRUE;
    if (!WindowMatches(window, search->query))
        return TRUE;
    search->found = window;
    return FALSE;
}

static HWND FindWindowOf(const WindowQuery *query, bool ownedOnly)
{
    WindowSearch search = {query, NULL, ownedOnly};

    EnumWindows(TestTopWindow, (LPARAM)&search);
    return search.found;
}

HWND FindTopWindow(const WindowQuery *query)
{
    return FindWindowOf(query, false);
}

static HWND WaitForWindowOf(const WindowQuery *query, bool ownedOnly, DWORD milliseconds)
{
    HWND window = NULL;

    WaitUntil([&] { return (window = FindWindowOf(query, ownedOnly)) != NULL; }, milliseconds);
    return window;
}

HWND WaitForTopWindow(const WindowQuery *query, DWORD milliseconds)
{
    return WaitForWindowOf(query, false, milliseconds);
}

bool WaitForWindowGone(HWND window, DWORD milliseconds)
{
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); },
                     milliseconds);
}

bool ReadWindowFacts(HWND window, WindowFacts *facts)
{
    POINT origin = {0, 0};

    memset(facts, 0, sizeof *facts);
    if (!IsWindow(window) || !GetWindowRect(window, &facts->frame) ||
        !GetClientRect(window, &facts->client) || !ClientToScreen(window, &origin))
        return false;
    OffsetRect(&facts->client, origin.x, origin.y);
    facts->style = GetWindowLongA(window, GWL_STYLE);
    facts->exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    facts->enabled = IsWindowEnabled(window) != 0;
    return true;
}

bool ReadWindowText(HWND window, char *text, int size)
{
    DWORD_PTR copied = 0;

    if (size <= 0)
        return false;
    text[0] = '\0';
    if (!IsWindow(window))
        return false;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text, SMTO_ABORTIFHUNG,
                             AnswerMilliseconds, &copied)) {
        text[0] = '\0';
        return false;
    }
    text[size - 1] = '\0';
    return true;
}

bool ReadControlText(HWND dialog, int controlId, char *text, int size)
{
    if (size > 0)
        text[0] = '\0';
    HWND control = GetDlgItem(dialog, controlId);
    return control && ReadWindowText(control, text, size);
}

// A control a user can work: there, shown and enabled, on a page that is shown and enabled
// (a page behind a modal one takes no clicks).
static bool Usable(HWND dialog, HWND control)
{
    return control && IsWindowVisible(dialog) && IsWindowEnabled(dialog) &&
           IsWindowVisible(control) && IsWindowEnabled(control);
}

bool PressButton(HWND dialog, int controlId, DWORD milliseconds)
{
    HWND button = NULL;

    if (!WaitUntil([&] { return Usable(dialog, button = GetDlgItem(dialog, controlId)); },
                   milliseconds))
        return Refused("press", "the button never was there, shown and enabled",
                       milliseconds);
    return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool TypeIntoEdit(HWND dialog, int controlId, const char *text, DWORD milliseconds)
{
    HWND edit = NULL;
    DWORD_PTR ignored;

    if (!WaitUntil([&] { return Usable(dialog, edit = GetDlgItem(dialog, controlId)); },
                   milliseconds))
        return Refused("type", "the edit never was there, shown and enabled", milliseconds);
    // Sent, not posted: the edit handles these at once, and the caller reads the text next.
    // Select all and Backspace, so that typing nothing leaves the edit empty.
    if (!SendMessageTimeoutA(edit, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                             &ignored) ||
        !SendMessageTimeoutA(edit, WM_CHAR, VK_BACK, 1, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                             &ignored))
        return false;
    for (const unsigned char *c = (const unsigned char *)text; *c; c++) {
        // A double-byte character goes as two WM_CHARs; the first is held, unanswered, until
        // the second comes.
        bool held = IsDBCSLeadByte(*c) && c[1];
        if (!SendMessageTimeoutA(edit, WM_CHAR, *c, 1, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                                 &ignored) &&
            !held)
            return false;
    }
    return true;
}

// Whether `window` is shown, enabled and the active window of its thread, as a window is
// once it has come up and taken the keyboard.
static bool IsActive(HWND window, GUITHREADINFO *thread)
{
    memset(thread, 0, sizeof *thread);
    thread->cbSize = sizeof *thread;
    return IsWindowVisible(window) && IsWindowEnabled(window) &&
           GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), thread) &&
           thread->hwndActive == window;
}

// The window that takes the keyboard in `window`'s thread: `window` itself or a control
// inside it, once `window` is active. NULL until then.
static HWND KeyboardTarget(HWND window)
{
    GUITHREADINFO thread;

    if (!IsActive(window, &thread) || !thread.hwndFocus)
        return NULL;
    return thread.hwndFocus == window || IsChild(window, thread.hwndFocus) ? thread.hwndFocus
                                                                           : NULL;
}

HWND WaitForKeyboardFocus(HWND window, DWORD milliseconds)
{
    HWND target = NULL;

    if (!WaitUntil([&] { return (target = KeyboardTarget(window)) != NULL; }, milliseconds))
        Refused("focus", "the window never became active with the focus inside it",
                milliseconds);
    return target;
}

bool PressKey(HWND window, DriverKey key, DWORD milliseconds)
{
    UINT virtualKey = key == KeyEnter ? VK_RETURN : VK_ESCAPE;
    LPARAM scan = (LPARAM)MapVirtualKeyA(virtualKey, 0) << 16;

    // Posted like real keyboard input, so the dialog's own loop sees them first. The focus
    // can move on between reading it and posting to it; a key press then goes to the focus
    // that follows, as a real one would.
    auto posted = [&] {
        HWND target = KeyboardTarget(window);
        if (!target || !PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1))
            return false;
        PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (1L << 30) | (1UL << 31));
        return true;
    };
    if (!WaitUntil(posted, milliseconds))
        return Refused("key", "the window never became active with the focus inside it",
                       milliseconds);
    return true;
}

static HWND FirstButton(HWND window)
{
    char name[16];

    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetClassNameA(child, name, sizeof name) && !lstrcmpiA(name, "Button"))
            return child;
    return NULL;
}

static bool ShownAndPushed(HWND window, HWND button)
{
    DWORD_PTR state = 0;

    return IsWindow(window) && IsWindowVisible(window) &&
           SendMessageTimeoutA(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                               &state) &&
           (state & BST_PUSHED);
}

bool WaitUntilHandled(HWND window, DWORD milliseconds)
{
    HWND button = FirstButton(window);
    DWORD start = GetTickCount();
    DWORD_PTR ignored;

    // A button drawn pushed is the marker: posted, it is handled in turn, and it can be
    // read back and undone from here.
    if (!button || !PostMessageA(button, BM_SETSTATE, TRUE, 0))
        return false;
    milliseconds = CaseMilliseconds(milliseconds);
    while (!ShownAndPushed(window, button)) {
        if (!IsWindow(window) || !IsWindowVisible(window) ||
            GetTickCount() - start >= milliseconds)
            return false;
        Sleep(PollMilliseconds);
    }
    SendMessageTimeoutA(button, BM_SETSTATE, FALSE, 0, SMTO_ABORTIFHUNG, AnswerMilliseconds,
                        &ignored);
    return true;
}

bool PressCloseBox(HWND window, DWORD milliseconds)
{
    if (!WaitUntil(
            [&] {
                return IsWindowVisible(window) && IsWindowEnabled(window) &&
                       (GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU);
            },
            milliseconds))
        return Refused("close box", "the window never was shown, enabled and with a close box",
                       milliseconds);
    return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

bool RequestClose(HWND window, DWORD milliseconds)
{
    GUITHREADINFO thread;

    if (!WaitUntil([&] { return IsActive(window, &thread); }, milliseconds))
        return Refused("close request", "the window never became active", milliseconds);
    return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

HWND WaitForMessageBox(DWORD processId, const char *caption, DWORD milliseconds)
{
    WindowQuery query = {caption, "#32770", processId};

    return WaitForWindowOf(&query, true, milliseconds);
}

bool ReadMessageBoxText(HWND box, char *text, int size)
{
    return ReadControlText(box, MessageBoxTextId, text, size);
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD milliseconds)
{
    return PressButton(box, buttonId, milliseconds);
}

bool CaptureScreen(const RECT *area, ScreenImage *image)
{
    RECT screenArea = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT visible;
    BITMAPINFO info;
    void *bits = NULL;
    bool captured = false;

    memset(image, 0, sizeof *image);
    // Only what is on the screen can be read; asking for more gets nothing at all.
    if (area && !IntersectRect(&visible, area, &screenArea))
        return false;
    area = area ? &visible : &screenArea;
    int width = area->right - area->left, height = area->bottom - area->top;

    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    if (screen && memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, area->left, area->top, SRCCOPY)) {
            GdiFlush();
            image->rowBytes = (width * 3 + 3) & ~3;
            image->pixels = (unsigned char *)malloc((size_t)image->rowBytes * height);
            if (image->pixels) {
                memcpy(image->pixels, bits, (size_t)image->rowBytes * height);
                image->left = area->left;
                image->top = area->top;
                image->width = width;
                image->height = height;
                captured = true;
            }
        }
        SelectObject(memory, previous);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(NULL, screen);
    return captured;
}

bool CaptureWindow(HWND window, ScreenImage *image)
{
    RECT frame;

    memset(image, 0, sizeof *image);
    return GetWindowRect(window, &frame) && CaptureScreen(&frame, image);
}

void FreeScreenImage(ScreenImage *image)
{
    free(image->pixels);
    memset(image, 0, sizeof *image);
}

COLORREF ImagePixel(const ScreenImage *image, int x, int y)
{
    int column = x - image->left, row = y - image->top;

    if (!image->pixels || column < 0 || row < 0 || column >= image->width ||
        row >= image->height)
        return CLR_INVALID;
    const unsigned char *pixel = image->pixels + (size_t)row * image->rowBytes + column * 3;
    return RGB(pixel[2], pixel[1], pixel[0]);
}

static bool WriteAll(HANDLE file, const void *data, DWORD size)
{
    DWORD written = 0;

    return WriteFile(file, data, size, &written, NULL) && written == size;
}

bool SaveImageAsBmp(const ScreenImage *image, const char *path)
{
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER header;

    if (!image->pixels)
        return false;
    DWORD pixelBytes = (DWORD)image->rowBytes * image->height;
    memset(&fileHeader, 0, sizeof fileHeader);
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + pixelBytes;
    memset(&header, 0, sizeof header);
    header.biSize = sizeof header;
    header.biWidth = image->width;
    header.biHeight = -image->height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = pixelBytes;

    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool saved = WriteAll(file, &fileHeader, sizeof fileHeader) &&
                 WriteAll(file, &header, sizeof header) &&
                 WriteAll(file, image->pixels, pixelBytes);
    CloseHandle(file);
    if (!saved)
        DeleteFileA(path);
    return saved;
}

COLORREF ReadScreenPixel(int x, int y)
{
    HDC screen = GetDC(NULL);

    if (!screen)
        return CLR_INVALID;
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(NULL, screen);
    return colour;
}

bool RemoveFolderTree(const char *path)
{
    char pattern[MAX_PATH];
    char entry[MAX_PATH];
    WIN32_FIND_DATAA found;

    if (snprintf(pattern, sizeof pattern, "%s\\*", path) >= (int)sizeof pattern)
        return false;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, ".."))
                continue;
            if (snprintf(entry, sizeof entry, "%s\\%s", path, found.cFileName) >=
                (int)sizeof entry)
                continue;
            SetFileAttributesA(entry, FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(entry);
            else
                DeleteFileA(entry);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path);
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

bool MakeScratchFolder(const char *name, char *path, int size)
{
    static const char Root[] = "C:\\veltrane-e2e";
    int length = snprintf(path, size, "%s\\%s", Root, name);

    if (length < 0 || length >= size)
        return false;
    CreateDirectoryA(Root, NULL);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && !RemoveFolderTree(path))
        return false;
    return CreateDirectoryA(path, NULL) != 0;
}

// Wine maps the host's root to Z:.
static void HostPathToWindows(const char *hostPath, char *path, int size)
{
    snprintf(path, size, "Z:%s", hostPath);
    for (char *c = path; *c; c++)
        if (*c == '/')
            *c = '\\';
}

const char *BuildFolder(void)
{
    static char folder[MAX_PATH];

    if (!folder[0])
        HostPathToWindows(VELTRANE_BUILD_DIR, folder, sizeof folder);
    return folder;
}

const char *ShippedProgramFolder(void)
{
    static char folder[MAX_PATH];
    const char *programs = getenv("VELTRANE_E2E_PROGRAMS");

    if (!programs || !programs[0])
        return BuildFolder();
    if (!folder[0])
        HostPathToWindows(programs, folder, sizeof folder);
    return folder;
}

static bool IsShippedProgram(const char *name)
{
    static const char *const Shipped[] = {"setup.exe", "setup-copy.exe", "brindle.exe"};

    for (const char *shipped : Shipped)
        if (strcmp(name, shipped) == 0)
            return true;
    return false;
}

bool CopyBuiltProgram(const char *builtName, const char *folder, const char *targetName)
{
    char source[MAX_PATH];
    char target[MAX_PATH];

    const char *from = IsShippedProgram(builtName) ? ShippedProgramFolder() : BuildFolder();

    if (snprintf(source, sizeof source, "%s\\%s", from, builtName) >=
            (int)sizeof source ||
        snprintf(target, sizeof target, "%s\\%s", folder, targetName ? targetName : builtName) >=
            (int)sizeof target)
        return false;
    if (!CopyFileA(source, target, FALSE)) {
        fprintf(stderr, "driver: cannot copy %s to %s (error %lu)\n", source, target,
                GetLastError());
        return false;
    }
    return true;
}

bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool WriteTextFile(const char *path, const char *text)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteAll(file, text, (DWORD)strlen(text));
    CloseHandle(file);
    return written;
}
