// Text files read and written a line at a time. Reads accept CR LF, LF or CR line ends
// (decided from the first line); writes use the current line-end mode, which opening a
// file for writing sets to CR LF. One reader at a time; writers are plain handles.
#ifndef VELTRANE_CONFIG_LINEFILE_H
#define VELTRANE_CONFIG_LINEFILE_H

// The read buffer. The fuzzers build with a small one, so that short inputs cross block
// boundaries.
#ifndef LINE_FILE_BUFFER_SIZE
#define LINE_FILE_BUFFER_SIZE 262144
#endif

enum {
    LineFileMaxLine = 190,       // characters kept of one line
    LineFileLineBuffer = 191,    // what a caller's line buffer needs at least
    LineFileBufferSize = LINE_FILE_BUFFER_SIZE,
};

enum LineEndMode { LineEndCrLf = 0, LineEndLf = 1, LineEndCr = 2 };

// Handle (0 or more); -2 access refused; -3 any other failure.
int LineFileOpenWrite(const char *path);
// Handle (0 or more); -1 missing (or no read buffer); -2 access refused; -3 other;
// -4 a reader is already open.
int LineFileOpenRead(const char *path);
// Length of the line (0..190) put into `line` with its NUL; -2 at the end of the file.
int LineFileReadLine(int handle, char *line);
// 0, or -1 when a write failed.
int LineFileWriteLine(int handle, const char *text);
int LineFileCloseRead(int handle);   // 0, or -1
int LineFileCloseWrite(int handle);  // 0, or -1

// The line-end mode that writes use (LineEndMode).
int LineFileLineEndMode(void);

// The length the last line read had before it was cut to LineFileMaxLine, trailing
// carriage returns and blanks not counted; above LineFileMaxLine when characters were lost.
int LineFileLastLineLength(void);

// Rewrites a path before it is opened, for writing when `forWriting` is 1; 0, or -1 when
// it has no form here or may not be opened that way.
typedef int LineFilePathMap(const char *path, int forWriting, char *mapped, int size);
// Lets a tool open the Windows paths that setup composes on another system; 0 (the
// start) opens every path as it is given.
void LineFileMapPaths(LineFilePathMap *map);

// Hears of a file that the configuration steps could not write whole: one that could not
// be opened for writing, or one of whose lines did not go in whole; once a file.
typedef void UnwrittenFileReport(const char *path);
// Lets setup tell the user; 0 (the start) tells nobody.
void ReportUnwrittenFiles(UnwrittenFileReport *report);
// Tells whoever listens that `path` could not be written whole.
void TellUnwrittenFile(const char *path);
// LineFileWriteLine for the configuration files: the first line of `path` that does not go
// in whole is told, and `*failed` (0 for a file just opened) remembers that it was.
void LineFileWriteOrTell(int handle, const char *text, const char *path, int *failed);

#endif
