// windrive: the end-to-end driver as a command, for shell scripts and demos.
// Runs under Wine in the same session as the program it drives.
//
//   windrive [-c CLASS] [-t CAPTION] [-p PID] [-w MILLISECONDS] COMMAND [ARGUMENTS]
//
// The options select a visible top-level window (waiting up to -w, default 10000 ms); an
// action on it (click, type, key, close) waits up to -w too, and at least 30000 ms, for the
// control or page to be ready.
// Commands:
//   wait                      print the window's handle
//   click ID                  press button ID of the window
//   type ID TEXT              type TEXT into edit ID, replacing what it holds
//   key enter|escape          send the key to the focused control of the window's thread
//   close                     use the window's close box
//   text [ID]                 print the window's text, or that of control ID
//   rect                      print the frame and client rectangles, style and extended style
//   shot FILE.bmp             capture the window, or the whole screen without options
//   pixel X Y                 print the screen colour at (X, Y) as "R G B"
//   message-box CAPTION       wait for a message box of -p PID; print its text
//   start EXE DIR [ARGS]      start EXE in DIR; print its process id
//   wait-exit PID             wait up to -w for the process to end; print its exit code
//   wait-gone NAME...         wait up to -w until no program of these file names runs in
//                             the session; when one still does, print its name
//   code-page                 print the ANSI code page (GetACP)
//   double-click-time         print the system's double-click time; it is also the exit code
//   list                      print every top-level window: handle, process id, visible,
//                             class and caption
//
// Exit codes: 0 done; 1 no such window or process, the action was refused or timed out;
// 2 bad command line.
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"

enum { Done = 0, Failed = 1, BadUsage = 2, DefaultWaitMilliseconds = 10000 };

struct Options {
    WindowQuery query;
    DWORD waitMilliseconds;
    bool selected;  // a window option was given
};

static int Usage(void)
{
    fprintf(stderr,
            "usage: windrive [-c CLASS] [-t CAPTION] [-p PID] [-w MS] COMMAND [ARGS]\n"
            "commands: wait, click ID, type ID TEXT, key enter|escape, close, text [ID],\n"
            "  rect, shot FILE.bmp, pixel X Y, message-box CAPTION, start EXE DIR [ARGS],\n"
            "  wait-exit PID, wait-gone NAME..., code-page, double-click-time, list\n");
    return BadUsage;
}

// Reads a whole decimal or 0x-hex number; false on anything else.
static bool ParseNumber(const char *text, long *value)
{
    char *end;

    *value = strtol(text, &end, 0);
    return text[0] && !*end;
}

static HWND SelectWindow(const Options *options)
{
    HWND window = WaitForTopWindow(&options->query, options->waitMilliseconds);
    if (!window)
        fprintf(stderr, "windrive: no such window\n");
    return window;
}

static int Report(bool done, const char *what)
{
    if (!done)
        fprintf(stderr, "windrive: %s failed\n", what);
    return done ? Done : Failed;
}

static BOOL CALLBACK PrintWindowLine(HWND window, LPARAM)
{
    char className[256];
    char caption[256];
    DWORD processId = 0;

    GetWindowThreadProcessId(window, &processId);
    if (!GetClassNameA(window, className, sizeof className))
        className[0] = '\0';
    GetWindowTextA(window, caption, sizeof caption);
    printf("0x%llX %lu %s \"%s\" \"%s\"\n", (unsigned long long)(UINT_PTR)window, processId,
           IsWindowVisible(window) ? "visible" : "hidden", className, caption);
    return TRUE;
}

static int PrintRect(HWND window)
{
    WindowFacts facts;

    if (!ReadWindowFacts(window, &facts))
        return Report(false, "rect");
    printf("frame %ld %ld %ld %ld client %ld %ld %ld %ld style 0x%08lX exstyle 0x%08lX%s\n",
           facts.frame.left, facts.frame.top, facts.frame.right, facts.frame.bottom,
           facts.client.left, facts.client.top, facts.client.right, facts.client.bottom,
           (unsigned long)facts.style, (unsigned long)facts.exStyle,
           facts.enabled ? "" : " disabled");
    return Done;
}

static int Shoot(const Options *options, const char *path)
{
    ScreenImage image;
    bool captured;

    if (options->selected) {
        HWND window = SelectWindow(options);
        if (!window)
            return Failed;
        captured = CaptureWindow(window, &image);
    } else {
        captured = CaptureScreen(NULL, &image);
    }
    bool saved = captured && SaveImageAsBmp(&image, path);
    FreeScreenImage(&image);
    return Report(saved, "shot");
}

static int Start(int count, char **words)
{
    char arguments[1024] = "";
    int used = 0;
    Program program;

    for (int i = 2; i < count; i++) {
        int length = snprintf(arguments + used, sizeof arguments - used, "%s%s",
                              used ? " " : "", words[i]);
        if (length < 0 || length >= (int)sizeof arguments - used)
            return Usage();
        used += length;
    }
    if (!StartProgram(&program, words[0], arguments, words[1]))
        return Failed;
    printf("%lu\n", program.processId);
    // The program runs on after we end; only our handle goes.
    CloseHandle(program.process);
    return Done;
}

static int WaitExit(long processId, DWORD milliseconds)
{
    Program program = {OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                   (DWORD)processId),
                       (DWORD)processId};
    if (!program.process)
        return Report(false, "wait-exit (no such process)");
    long exitCode = WaitForProgramExit(&program, milliseconds);
    CloseHandle(program.process);
    if (exitCode == ExitCodeStillRunning)
        return Report(false, "wait-exit (still running)");
    printf("%ld\n", exitCode);
    return Done;
}

// Whether a program of one of `names` (file names, any letter case) runs in the session;
// true when that cannot be told. The name found goes to `running`.
static bool AnyRuns(int count, char **names, char *running, int size)
{
    PROCESSENTRY32 process;
    bool found = false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);

    if (snapshot == INVALID_HANDLE_VALUE) {
        snprintf(running, size, "%s", "(the processes cannot be listed)");
        return true;
    }
    process.dwSize = sizeof process;
    for (BOOL more = Process32First(snapshot, &process); more && !found;
         more = Process32Next(snapshot, &process))
        for (int i = 0; i < count && !found; i++)
            if (!lstrcmpiA(process.szExeFile, names[i])) {
                snprintf(running, size, "%s", process.szExeFile);
                found = true;
            }
    CloseHandle(snapshot);
    return found;
}

static int WaitGone(int count, char **names, DWORD milliseconds)
{
    char running[MAX_PATH];

    for (DWORD start = GetTickCount(); AnyRuns(count, names, running, sizeof running);
         Sleep(100))
        if (GetTickCount() - start >= milliseconds) {
            printf("%s\n", running);
            return Report(false, "wait-gone (still running)");
        }
    return Done;
}

static int RunWindowCommand(const Options *options, const char *command, int count,
                            char **words)
{
    long id = 0;
    char text[1024];
    DWORD action = options->waitMilliseconds > (DWORD)ActionMilliseconds
                       ? options->waitMilliseconds
                       : (DWORD)ActionMilliseconds;

    HWND window = SelectWindow(options);
    if (!window)
        return Failed;
    if (!strcmp(command, "wait") && count == 0) {
        printf("0x%llX\n", (unsigned long long)(UINT_PTR)window);
        return Done;
    }
    if (!strcmp(command, "click") && count == 1 && ParseNumber(words[0], &id))
        return Report(PressButton(window, (int)id, action), "click");
    if (!strcmp(command, "type") && count == 2 && ParseNumber(words[0], &id))
        return Report(TypeIntoEdit(window, (int)id, words[1], action), "type");
    if (!strcmp(command, "key") && count == 1 &&
        (!strcmp(words[0], "enter") || !strcmp(words[0], "escape")))
        return Report(PressKey(window, !strcmp(words[0], "enter") ? KeyEnter : KeyEscape, action),
                      "key");
    if (!strcmp(command, "close") && count == 0)
        return Report(PressCloseBox(window, action), "close");
    if (!strcmp(command, "rect") && count == 0)
        return PrintRect(window);
    if (!strcmp(command, "text") && count <= 1) {
        bool read = count == 0 ? ReadWindowText(window, text, sizeof text)
                               : ParseNumber(words[0], &id) &&
                                     ReadControlText(window, (int)id, text, sizeof text);
        if (read)
            printf("%s\n", text);
        return Report(read, "text");
    }
    return Usage();
}

int main(int argc, char **argv)
{
    Options options = {{NULL, NULL, 0}, DefaultWaitMilliseconds, false};
    int next = 1;
    long number;

    for (; next + 1 < argc && argv[next][0] == '-' && argv[next][1] && !argv[next][2]; next += 2) {
        const char *value = argv[next + 1];
        switch (argv[next][1]) {
        case 'c':
            options.query.className = value;
            options.selected = true;
            break;
        case 't':
            options.query.caption = value;
            options.selected = true;
            break;
        case 'p':
            if (!ParseNumber(value, &number))
                return Usage();
            options.query.processId = (DWORD)number;
            options.selected = true;
            break;
        case 'w':
            if (!ParseNumber(value, &number) || number < 0)
                return Usage();
            options.waitMilliseconds = (DWORD)number;
            break;
        default:
            return Usage();
        }
    }
    if (next >= argc)
        return Usage();
    const char *command = argv[next];
    char **words = argv + next + 1;
    int count = argc - next - 1;

    if (!strcmp(command, "shot") && count == 1)
        return Shoot(&options, words[0]);
    if (!strcmp(command, "pixel") && count == 2) {
        long x, y;
        if (!ParseNumber(words[0], &x) || !ParseNumber(words[1], &y))
            return Usage();
        COLORREF colour = ReadScreenPixel((int)x, (int)y);
        if (colour == CLR_INVALID)
            return Report(false, "pixel");
        printf("%d %d %d\n", GetRValue(colour), GetGValue(colour), GetBValue(colour));
        return Done;
    }
    if (!strcmp(command, "message-box") && count == 1) {
        char text[1024];
        HWND box = WaitForMessageBox(options.query.processId, words[0], options.waitMilliseconds);
        if (!box || !ReadMessageBoxText(box, text, sizeof text))
            return Report(false, "message-box");
        printf("%s\n", text);
        return Done;
    }
    if (!strcmp(command, "start") && count >= 2)
        return Start(count, words);
    if (!strcmp(command, "wait-exit") && count == 1) {
        if (!ParseNumber(words[0], &number))
            return Usage();
        return WaitExit(number, options.waitMilliseconds);
    }
    if (!strcmp(command, "wait-gone") && count >= 1)
        return WaitGone(count, words, options.waitMilliseconds);
    if (!strcmp(command, "code-page") && count == 0) {
        printf("%u\n", GetACP());
        return Done;
    }
    if (!strcmp(command, "double-click-time") && count == 0) {
        UINT milliseconds = GetDoubleClickTime();
        printf("%u\n", milliseconds);
        return (int)milliseconds;
    }
    if (!strcmp(command, "list") && count == 0) {
        EnumWindows(PrintWindowLine, 0);
        return Done;
    }
    if (!options.selected)
        return Usage();
    return RunWindowCommand(&options, command, count, words);
}
