// benchdrive: times setup under Wine for bench/run.sh, driving it from outside as a user
// would. Prints one number, milliseconds, on standard output.
//
//   benchdrive copy FOLDER INSTALL      inst.exe (a copy-mode setup) in FOLDER, from the OK
//                                       on the directory page with INSTALL typed in until
//                                       the progress page has gone; then setup is ended
//   benchdrive run COMMAND [ARGS...]    a program from its start until it has ended, its
//                                       output going to NUL
//   benchdrive launch EXE FOLDER CLASS CAPTION
//                                       from the start of EXE in FOLDER until a visible
//                                       top-level window of CLASS with CAPTION shows; then
//                                       the program is ended
//
// Exit codes: 0 measured; 1 the run went wrong (a message on standard error); 2 bad usage.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "clock.h"
#include "driver.h"
#include "resource.h"

enum { Measured = 0, Failed = 1, BadUsage = 2 };
enum { AppearMilliseconds = 30000, CopyMilliseconds = 600000, ExitMilliseconds = 20000 };
// Each look at another program's windows is a request to the Wine server, which the
// program under test needs too: the copy is watched every 10 ms, and for message boxes,
// which take many requests to find, only every 250 ms.
enum { WatchMilliseconds = 10, BoxEveryWatches = 25, LaunchWatchMilliseconds = 5 };

static int Fail(const char *what)
{
    fprintf(stderr, "benchdrive: %s\n", what);
    return Failed;
}

// Looks every 5 ms: the time measured is at most that late, and the looking leaves the Wine
// server to the program that is starting.
static HWND WaitClosely(const WindowQuery *query, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTopWindow(query))
            return window;
        if (GetTickCount() - start > milliseconds)
            return NULL;
        Sleep(LaunchWatchMilliseconds);
    }
}

static HWND WaitPage(const Program &program, const char *caption)
{
    WindowQuery query = {caption, "#32770", program.processId};
    return WaitForTopWindow(&query, AppearMilliseconds);
}

static bool MessageBoxShown(const Program &program)
{
    return WaitForMessageBox(program.processId, "Error", 0) ||
           WaitForMessageBox(program.processId, "Message", 0);
}

static int TimeCopy(const char *folder, const char *install)
{
    ScopedProgram setup;
    std::string program = std::string(folder) + "\\inst.exe";
    if (!StartProgram(&setup.program, program.c_str(), NULL, folder))
        return Fail("cannot start inst.exe");
    HWND page = WaitPage(setup.program, "Welcome");
    if (!page || !PressButton(page, IDC_NEXT))
        return Fail("no welcome page");
    page = WaitPage(setup.program, "Licence Agreement");
    if (!page || !PressButton(page, IDYES))
        return Fail("no licence page");
    page = WaitPage(setup.program, "Directory to install Veltrane");
    if (!page || !TypeIntoEdit(page, IDC_DIRECTORY_EDIT, install))
        return Fail("no directory page");
    WindowQuery mainQuery = {NULL, "INSTALL", setup.program.processId};
    HWND mainWindow = FindTopWindow(&mainQuery);

    double start = Now();
    if (!PressButton(page, IDOK))
        return Fail("OK cannot be pressed");
    HWND progress = NULL;
    DWORD ticks = GetTickCount();
    for (int watch = 1; !(progress = FindWindowExA(mainWindow, NULL, "#32770", "Progress"));
         watch++) {
        if (watch % BoxEveryWatches == 0 && MessageBoxShown(setup.program))
            return Fail("a message came up (does the install directory exist?)");
        if (GetTickCount() - ticks > AppearMilliseconds)
            return Fail("no progress page");
        Sleep(WatchMilliseconds);
    }
    for (int watch = 1; IsWindow(progress); watch++) {
        if (watch % BoxEveryWatches == 0 && MessageBoxShown(setup.program))
            return Fail("the copy raised a message");
        if (GetTickCount() - ticks > CopyMilliseconds)
            return Fail("the copy did not end");
        Sleep(WatchMilliseconds);
    }
    double elapsed = Now() - start;

    page = WaitPage(setup.program, "Setup completed");
    if (!page || !PressButton(page, IDC_EXIT_SETUP) ||
        WaitForProgramExit(&setup.program, ExitMilliseconds) != 0)
        return Fail("setup did not end after the copy");
    printf("%.0f\n", elapsed);
    return Measured;
}

static int TimeRun(int count, char **arguments)
{
    std::string commandLine;
    for (int i = 0; i < count; i++) {
        bool quote = strchr(arguments[i], ' ') != NULL;
        commandLine += (i ? " " : "") + std::string(quote ? "\"" : "") + arguments[i] +
                       (quote ? "\"" : "");
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE nothing = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nothing;
    startup.hStdError = nothing;
    PROCESS_INFORMATION process = {};

    double start = Now();
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                        &process))
        return Fail("cannot start the command");
    WaitForSingleObject(process.hProcess, INFINITE);
    double elapsed = Now() - start;

    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(nothing);
    if (exitCode != 0) {
        fprintf(stderr, "benchdrive: the command ended with %lu\n", exitCode);
        return Failed;
    }
    printf("%.0f\n", elapsed);
    return Measured;
}

static int TimeLaunch(const char *program, const char *folder, const char *className,
                      const char *caption)
{
    ScopedProgram started;
    double start = Now();
    if (!StartProgram(&started.program, program, NULL, folder))
        return Fail("cannot start the program");
    WindowQuery query = {caption, className, started.program.processId};
    if (!WaitClosely(&query, AppearMilliseconds))
        return Fail("the window did not show");
    printf("%.0f\n", Now() - start);
    return Measured;
}

int main(int count, char **arguments)
{
    if (count == 4 && !strcmp(arguments[1], "copy"))
        return TimeCopy(arguments[2], arguments[3]);
    if (count >= 3 && !strcmp(arguments[1], "run"))
        return TimeRun(count - 2, arguments + 2);
    if (count == 6 && !strcmp(arguments[1], "launch"))
        return TimeLaunch(arguments[2], arguments[3], arguments[4], arguments[5]);
    fprintf(stderr, "usage: benchdrive copy FOLDER INSTALL | run COMMAND [ARGS...] |"
                    " launch EXE FOLDER CLASS CAPTION\n");
    return BadUsage;
}
