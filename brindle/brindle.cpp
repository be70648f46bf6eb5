// brindle: hands an INF script to the shell with the verb "install", which runs the
// script's [DefaultInstall] section. No window; one line of outcome on standard output,
// when there is one.
//
// Usage: brindle <file.inf> [ignored...]
// Exit code: always 0, failures included; whoever starts brindle does not wait for it.
#include <windows.h>
#include <shellapi.h>

#include "arguments.h"
#include "output.h"

// ---- Standard output: asked for on the first message.

static int OutputAsked;
static HANDLE Output;

// Nobody reads brindle's output or exit code, so a failed write is not looked at.
static void WriteToOutput(const char *bytes, int count)
{
    DWORD written;
    WriteFile(Output, bytes, count, &written, 0);
}

// Started hidden by setup, brindle has no standard output, and every message is then
// dropped without a trace. A console shows each line at once; a file or pipe gets the
// buffer when it is full and at the end.
static void AskForOutput(void)
{
    if (OutputAsked)
        return;
    OutputAsked = 1;
    Output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD type = Output == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(Output);
    UseOutput(type == FILE_TYPE_UNKNOWN ? 0 : WriteToOutput, type == FILE_TYPE_CHAR);
}

// One line of outcome: `text` and `more` ("" for nothing).
static void WriteMessage(const char *text, const char *more)
{
    AskForOutput();
    WriteText(text);
    WriteText(more);
    EndLine();
}

// ---- Main sequence.

// Windows accepts command lines of at most 32767 characters, so any argument it passes fits
// here whole.
static char InfPath[32768];

static int IsExistingFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static void InstallInf(const char *path)
{
    // The current directory becomes the action's working directory; one that does not fit
    // is left to the shell, which then uses the current directory all the same.
    char directory[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    const char *workingDirectory = length > 0 && length < sizeof directory ? directory : 0;
    HINSTANCE result = ShellExecuteA(0, "install", path, 0, workingDirectory, SW_SHOWNORMAL);
    // The shell only says whether it could start the action, not how the script went.
    if ((int)(INT_PTR)result > 32)
        WriteMessage("Installation completed.\nYou may close this window now.", "");
    else
        WriteMessage("Installation failed.", "");
}

static void RunBrindle(void)
{
    switch (FirstArgument(GetCommandLineA(), InfPath, sizeof InfPath)) {
    case ArgumentNone:
        WriteMessage("Please enter the name of the .INF Setup-script as parameter.", "");
        return;
    case ArgumentTooLong:
        WriteMessage("Installation failed.", "");
        return;
    }
    if (!IsExistingFile(InfPath)) {
        WriteMessage(InfPath, " not found.");
        return;
    }
    InstallInf(InfPath);
}

// brindle starts here rather than in the C runtime, whose start-up (arguments, heap, exit
// handlers) it does not use and which would make up most of its size. ExitProcess ends it
// even when the shell has left threads of its own running.
extern "C" void BrindleEntry(void)
{
    RunBrindle();
    FlushOutput();
    ExitProcess(0);
}
