// Line-at-a-time text files over the runtime's low-level integer handles. Files are
// opened untranslated and shared, so bytes pass exactly as they are on disk.
#include "config/linefile.h"
#include "shell/text.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

// The only platform-dependent part: the low-level file calls and the read buffer. On
// Windows they are setup's own, as setup links no C runtime.
#ifdef _WIN32
#include <windows.h>

#include "shell/files.h"

static int SysOpen(const char *path, int flags) { return FileOpen(path, flags); }
static int SysOpenError(void) { return LastFileError(); }
static int SysRead(int handle, char *buffer, int size) { return FileRead(handle, buffer, size); }
static int SysWrite(int handle, const char *data, int size)
{
    return FileWrite(handle, data, size);
}
static int SysClose(int handle) { return FileClose(handle); }

static HGLOBAL ReadMemory;

// Returns the zero-filled block, or 0 when it cannot be allocated or locked.
static char *AllocateReadBuffer(void)
{
    ReadMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, LineFileBufferSize);
    if (!ReadMemory)
        return 0;
    char *buffer = (char *)GlobalLock(ReadMemory);
    if (!buffer) {
        GlobalFree(ReadMemory);
        ReadMemory = 0;
    }
    return buffer;
}

static void ReleaseReadBuffer(char *)
{
    GlobalUnlock(ReadMemory);
    GlobalFree(ReadMemory);
    ReadMemory = 0;
}
#else
#include <stdlib.h>
#include <unistd.h>

static int SysOpen(const char *path, int flags) { return open(path, flags, 0666); }
static int SysOpenError(void) { return errno; }
static int SysRead(int handle, char *buffer, int size) { return (int)read(handle, buffer, size); }
static int SysWrite(int handle, const char *data, int size)
{
    return (int)write(handle, data, size);
}
static int SysClose(int handle) { return close(handle); }

static char *AllocateReadBuffer(void) { return (char *)calloc(1, LineFileBufferSize); }
static void ReleaseReadBuffer(char *buffer) { free(buffer); }
#endif

enum {
    DetectionWindow = 1024,  // bytes of a block that the line-end detection looks at
    CR = 13,
    LF = 10,
    MappedPathSize = 1024,
};

static int LineEndModeNow = LineEndCrLf;
static char *ReadBuffer;     // exists exactly while a reader is open
static int BufferFill;       // valid bytes in ReadBuffer; 0 = the next scan reads a block
static int BufferPosition;   // next byte to examine
static char LineSeparator = LF;
static int LinesRead;
static int CrCount, LfCount;
static int LastLineLength;
static LineFilePathMap *PathMap;
static UnwrittenFileReport *UnwrittenReport;

int LineFileLineEndMode(void) { return LineEndModeNow; }
int LineFileLastLineLength(void) { return LastLineLength; }
void LineFileMapPaths(LineFilePathMap *map) { PathMap = map; }
void ReportUnwrittenFiles(UnwrittenFileReport *report) { UnwrittenReport = report; }

void TellUnwrittenFile(const char *path)
{
    if (UnwrittenReport)
        UnwrittenReport(path);
}

// The handle, or -1 when the file is missing, -2 when access is refused, -3 for any other
// failure; a path that has no mapped form fails like one that is not valid here.
static int OpenPath(const char *path, int flags)
{
    char mapped[MappedPathSize];

    if (PathMap) {
        if (PathMap(path, (flags & (O_WRONLY | O_RDWR)) != 0, mapped, sizeof mapped) < 0)
            return -3;
        path = mapped;
    }
    int handle = SysOpen(path, flags);
    if (handle >= 0)
        return handle;
    int cause = SysOpenError();
    if (cause == ENOENT)
        return -1;
    return cause == EACCES ? -2 : -3;
}

int LineFileOpenWrite(const char *path)
{
    LineEndModeNow = LineEndCrLf;
    // An existing file is emptied and rewritten in place, not replaced; only a missing one
    // is created.
    int handle = OpenPath(path, O_RDWR | O_TRUNC);
    if (handle == -1)
        handle = OpenPath(path, O_RDWR | O_CREAT | O_TRUNC);
    return handle == -1 ? -3 : handle;
}

int LineFileOpenRead(const char *path)
{
    if (ReadBuffer)
        return -4;
    CrCount = 0;
    LfCount = 0;
    LinesRead = 0;
    LineSeparator = LF;
    ReadBuffer = AllocateReadBuffer();
    if (!ReadBuffer)
        return -1;
    int handle = OpenPath(path, O_RDONLY);
    if (handle < 0) {
        ReleaseReadBuffer(ReadBuffer);
        ReadBuffer = 0;
        return handle;
    }
    BufferPosition = 0;
    BufferFill = 0;
    return handle;
}

// Counts the line ends at the head of a freshly read block of the first line; the counts
// add up over every block that line spans.
static void DetectLineEnds(int blockSize)
{
    int window = blockSize < DetectionWindow ? blockSize : DetectionWindow;
    for (int i = 0; i < window; i++) {
        if (ReadBuffer[i] == LF)
            LfCount++;
        else if (ReadBuffer[i] == CR)
            CrCount++;
    }
    LineSeparator = LF;
    if (CrCount == 0) {
        LineEndModeNow = LineEndLf;
    } else if (LfCount == 0) {
        LineEndModeNow = LineEndCr;
        LineSeparator = CR;
    }
}

// Drops trailing carriage returns and blanks; tabs and leading blanks stay.
static int TrimLine(const char *line, int stored)
{
    while (stored > 0 && (line[stored - 1] == CR || line[stored - 1] == ' '))
        stored--;
    return stored;
}

// Where the last character past the cut that trimming would not remove ends, counted from
// the start of the line; `lostEnd` when this piece of the line holds none.
static int EndOfLostText(int pieceStart, int pieceLength, int seen, int lostEnd)
{
    for (int i = pieceLength - 1; i >= 0 && seen + i >= LineFileMaxLine; i--) {
        char c = ReadBuffer[pieceStart + i];
        if (c != CR && c != ' ')
            return seen + i + 1;
    }
    return lostEnd;
}

static int ReturnLine(char *line, int stored, int lostEnd)
{
    stored = TrimLine(line, stored);
    LastLineLength = lostEnd > stored ? lostEnd : stored;
    // A cut through a character of two bytes keeps no half of it.
    if (lostEnd > stored)
        stored = WholeCharactersLength(line, stored);
    LinesRead++;
    line[stored] = 0;
    return stored;
}

int LineFileReadLine(int handle, char *line)
{
    // Without an open reader there is nothing to read: end of file.
    if (!ReadBuffer)
        return -2;
    int stored = 0;
    int seen = 0;     // bytes of the line so far, those past the cut included
    int lostEnd = 0;  // see EndOfLostText
    int lineStart = BufferPosition;
    for (;;) {
        if (BufferFill == 0) {
            int blockSize = SysRead(handle, ReadBuffer, LineFileBufferSize);
            if (blockSize <= 0)
                return stored == 0 ? -2 : ReturnLine(line, stored, lostEnd);
            BufferFill = blockSize;
            BufferPosition = 0;
            lineStart = 0;
            if (LinesRead == 0)
                DetectLineEnds(blockSize);
        }
        const char *found = (const char *)memchr(ReadBuffer + BufferPosition, LineSeparator,
                                                 BufferFill - BufferPosition);
        BufferPosition = found ? (int)(found - ReadBuffer) : BufferFill;
        int piece = BufferPosition - lineStart;
        if (stored < LineFileMaxLine) {
            int kept = piece < LineFileMaxLine - stored ? piece : LineFileMaxLine - stored;
            memcpy(line + stored, ReadBuffer + lineStart, kept);
            stored += kept;
        }
        lostEnd = EndOfLostText(lineStart, piece, seen, lostEnd);
        seen += piece;
        if (!found) {
            BufferFill = 0;  // the line goes on in the next block
            continue;
        }
        BufferPosition++;
        if (BufferPosition == BufferFill)
            BufferFill = 0;
        return ReturnLine(line, stored, lostEnd);
    }
}

int LineFileWriteLine(int handle, const char *text)
{
    int length = (int)strlen(text);
    if (length > 0 && SysWrite(handle, text, length) != length)
        return -1;
    static const char *const lineEnds[] = {"\r\n", "\n", "\r"};
    const char *end = lineEnds[LineEndModeNow];
    int endLength = (int)strlen(end);
    if (SysWrite(handle, end, endLength) != endLength)
        return -1;
    return 0;
}

void LineFileWriteOrTell(int handle, const char *text, const char *path, int *failed)
{
    if (LineFileWriteLine(handle, text) < 0 && !*failed) {
        *failed = 1;
        TellUnwrittenFile(path);
    }
}

int LineFileCloseRead(int handle)
{
    if (ReadBuffer) {
        ReleaseReadBuffer(ReadBuffer);
        ReadBuffer = 0;
    }
    return SysClose(handle) == 0 ? 0 : -1;
}

int LineFileCloseWrite(int handle)
{
    return SysClose(handle) == 0 ? 0 : -1;
}
