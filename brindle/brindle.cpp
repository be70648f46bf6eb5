// brindle: hands an INF script to the shell with the verb "install", which runs the
// script's [DefaultInstall] section. No window; one line of outcome on standard output,
// when there is one.
//
// Usage: brindle <file.inf> [ignored...]
// Exit code: always 0, failures included; whoever starts brindle does not wait for it.
#include <windows.h>
#include <shellapi.h>

enum { ArgumentNone = -1, ArgumentTooLong = -2 };

// ---- Standard output: asked for on the first message, buffered in 128 bytes.

enum { OutputBufferSize = 128 };

enum OutputState { OutputNotAsked, OutputUsable, OutputMissing };

static OutputState State = OutputNotAsked;
static HANDLE Output;
static int OutputIsConsole;
static char Buffer[OutputBufferSize];
static int BufferFill;

// Asks for the standard output on first use. Started hidden by setup, brindle has none,
// and every message is then dropped without a trace.
static int OutputAvailable(void)
{
    if (State == OutputNotAsked) {
        Output = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD type = Output == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : GetFileType(Output);
        State = type == FILE_TYPE_UNKNOWN ? OutputMissing : OutputUsable;
        OutputIsConsole = type == FILE_TYPE_CHAR;
    }
    return State == OutputUsable;
}

// Nobody reads brindle's output or exit code, so a failed write is not looked at.
static void WriteBuffer(void)
{
    DWORD written;
    if (BufferFill > 0)
        WriteFile(Output, Buffer, BufferFill, &written, 0);
    BufferFill = 0;
}

static void WriteText(const char *text)
{
    if (!OutputAvailable())
        return;
    for (; *text; text++) {
        Buffer[BufferFill++] = *text;
        if (BufferFill == OutputBufferSize)
            WriteBuffer();
    }
}

static void EndLine(void)
{
    WriteText("\r\n");
    if (OutputAvailable() && OutputIsConsole)
        WriteBuffer();
}

static void FlushOutput(void)
{
    if (State == OutputUsable)
        WriteBuffer();
}

// ---- Command line: blanks and control characters (codes up to 0x20) separate arguments; a
// part in double quotes may hold blanks, and the quotes themselves are dropped.

static int IsSeparator(unsigned char c) { return c <= 0x20; }

// Walks over one argument starting at `text`; copies it, without its quotes, into
// `argument` when that is given. Returns the position after it; `length` receives the
// length of the argument as it would be copied.
static const char *ScanArgument(const char *text, char *argument, int size, int *length)
{
    int inQuotes = 0;
    int count = 0;
    for (; *text && (inQuotes || !IsSeparator((unsigned char)*text)); text++) {
        if (*text == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (argument && count < size - 1)
            argument[count] = *text;
        count++;
    }
    *length = count;
    return text;
}

static const char *SkipSeparators(const char *text)
{
    while (*text && IsSeparator((unsigned char)*text))
        text++;
    return text;
}

// Copies the first argument after the program name into `argument` (`size` bytes). Returns
// its length, ArgumentNone when there is none, or ArgumentTooLong when it does not fit whole
// (then `argument` is left empty rather than cut).
static int FirstArgument(const char *commandLine, char *argument, int size)
{
    int length;
    const char *text = SkipSeparators(commandLine);
    text = SkipSeparators(ScanArgument(text, 0, 0, &length));
    argument[0] = 0;
    if (!*text)
        return ArgumentNone;
    ScanArgument(text, argument, size, &length);
    if (length >= size) {
        argument[0] = 0;
        return ArgumentTooLong;
    }
    argument[length] = 0;
    return length;
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
        WriteText("Installation completed.\nYou may close this window now.");
    else
        WriteText("Installation failed.");
    EndLine();
}

static void RunBrindle(void)
{
    switch (FirstArgument(GetCommandLineA(), InfPath, sizeof InfPath)) {
    case ArgumentNone:
        WriteText("Please enter the name of the .INF Setup-script as parameter.");
        EndLine();
        return;
    case ArgumentTooLong:
        WriteText("Installation failed.");
        EndLine();
        return;
    }
    if (!IsExistingFile(InfPath)) {
        WriteText(InfPath);
        WriteText(" not found.");
        EndLine();
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
