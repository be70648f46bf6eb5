// Definitions of the run-wide state. This is the one file that differs between the
// in-place and the copy-mode program: the build passes VELTRANE_IN_PLACE_INSTALL.
#include "shell/state.h"

#ifndef VELTRANE_IN_PLACE_INSTALL
#error "VELTRANE_IN_PLACE_INSTALL must be set by the build (1 = in place, 0 = copy mode)"
#endif

const int InPlaceInstall = VELTRANE_IN_PLACE_INSTALL;

HINSTANCE AppInstance;
HWND MainWindow;
int MainWindowDestroyed;

char SourceDirectory[PathBufferSize];
int SourceDirectoryTooLong;

char InstallDirectory[PathBufferSize];
char LinksInfPath[PathBufferSize];
int InstallFinished;
int SetupExitCode;
char DirectoryPageText[PathBufferSize];

int ClientWidth, ClientHeight;
PaintState Painter;
int FirstPaint = 1;
TickSequence Ticks;
char StartCommand[2 * PathBufferSize];

int FileCount;
char FilePaths[MaxFileCount][FileListPathSize];
int FileSizes[MaxFileCount];
char FileListOverflowPath[PathBufferSize];
CopyJournalState CopyJournal;
