// Run-wide state of setup: one instance per process, set up at start-up, never freed.
// Everything here is touched only by the program's one thread.
#ifndef VELTRANE_SHELL_STATE_H
#define VELTRANE_SHELL_STATE_H

#include <windows.h>

#include "shell/ticks.h"

enum {
    PathBufferSize = 200,      // paths, command lines and message texts: 199 characters
    SourceDirectoryLimit = 150, // the current directory is read with this limit
    MaxFileCount = 3000,
    FileListPathSize = 128,    // a file-list path holds 127 characters
};

// 1 = the suite's files already lie in setup's directory (shipped); 0 = copy mode.
extern const int InPlaceInstall;

extern HINSTANCE AppInstance;
extern HWND MainWindow;
// 1 once the main window is destroyed: the user closed setup. Its handle cannot tell, as
// Windows 95 gives a freed handle to the next window made.
extern int MainWindowDestroyed;

// Where the suite's files are: the current directory at start-up (plus "\veltrane" in
// copy mode). Empty when the current directory did not fit, and SourceDirectoryTooLong is 1.
extern char SourceDirectory[PathBufferSize];
extern int SourceDirectoryTooLong;

extern char InstallDirectory[PathBufferSize];
extern char LinksInfPath[PathBufferSize];  // empty until the link script is written
extern int InstallFinished;                // set by the wizard once every step was called
// What setup returns when it ends: 0 after an installation that completed or when the user
// left before anything was changed; otherwise why Veltrane was not installed.
enum {
    ExitCodeNotInstalled = 1,   // the copy stopped, or the tree was refused
    ExitCodeClosedInCopy = 2,   // the main window was closed during the copy
    ExitCodeFolderRefused = 3,  // setup's own folder: its path too long, or in place a blank
};
extern int SetupExitCode;
// The install-directory page's text: filled by each showing, refilled from the edit on OK.
extern char DirectoryPageText[PathBufferSize];

// The main window: client size from its last WM_SIZE, the painter's state and the timer.
extern int ClientWidth, ClientHeight;
struct PaintState {
    HDC context;      // the context being drawn into, or PaintContextNone
    int contextHeld;  // 1 while a context from BeginPaint is held
    int painting;     // 1 while a paint is in progress
};
#define PaintContextNone ((HDC)(~(UINT_PTR)0))
extern PaintState Painter;
extern int FirstPaint;
extern TickSequence Ticks;
extern char StartCommand[2 * PathBufferSize];  // orvane's command: the install directory twice

// The file list of copy mode, in directories-first order. Directory entries end in a
// backslash and have size 0; a file's size is its byte count, or the scan's SizeTooLarge
// for a file of 2 GiB or more.
extern int FileCount;
extern char FilePaths[MaxFileCount][FileListPathSize];
extern int FileSizes[MaxFileCount];
// The first path that did not fit the file list or the scan's buffers (cut to fit here);
// empty while the whole tree fits. A tree that does not fit is not installed.
extern char FileListOverflowPath[PathBufferSize];

// What the copy did to each entry of the file list, so that a copy that does not finish can
// be undone; the kept copies of replaced files are on disk (install/journal.h).
enum CopyEntryState { CopyUntouched, CopyCreated, CopyReplaced };
struct CopyJournalState {
    char install[PathBufferSize];  // the install directory, without a trailing backslash
    int sourceLength;              // the source directory's length at the start of list paths
    int installMade;               // 1 when this run made the install directory
    char entries[MaxFileCount];    // a CopyEntryState for each list entry
};
extern CopyJournalState CopyJournal;

#endif
