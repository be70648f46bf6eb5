// Tree copy of copy mode: scans the source tree, asks when it does not fit on the drive,
// then rebuilds it below the install directory entry by entry, in list order, under the
// progress page. The first failure stops the copy, and so does the main window's end; the
// journal keeps what the copy changed, for the wizard to keep or to undo.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "install/copy.h"
#include "install/journal.h"
#include "install/scan.h"
#include "install/space.h"
#include "shell/msgbox.h"
#include "shell/pump.h"
#include "shell/state.h"
#include "shell/text.h"
#include "wizard/pages.h"
#include "resource.h"

enum {
    ProgressRange = 10000,
    // The install text, a backslash and the part of a list path below the source.
    TargetPathSize = PathBufferSize + FileListPathSize,
    // The longest text, "File %s exists overwrite ?", holds a whole target path.
    MessageSize = TargetPathSize + 64,
};

int ProgressPosition(double done, double total)
{
    if (total <= 0)
        return 0;
    return (int)(done / total * ProgressRange);
}

// A file too large for the list counts for nothing, so the bar stays within its range.
static double CountedSize(int size)
{
    return size < 0 ? 0 : size;
}

// Summed in double precision: exact for every list, with no 32-bit overflow.
static double TotalBytes(void)
{
    double total = 0;
    int i;

    for (i = 0; i < FileCount; i++)
        total += CountedSize(FileSizes[i]);
    return total;
}

// The progress bar of the copy. Each move repaints it at once, which costs more than a
// small file's copy, so it is told only the positions that change what it draws.
struct ProgressBar {
    HWND page;
    int width;     // of the bar's client area, in pixels
    int shown;     // the position it was last told; -1 before the first
    int position;  // where the bytes before the current entry put it
};

static void ShowPosition(ProgressBar *bar)
{
    if (bar->position == bar->shown)
        return;
    SendDlgItemMessageA(bar->page, IDC_PROGRESS_BAR, PBM_SETPOS, (WPARAM)bar->position, 0);
    bar->shown = bar->position;
}

// The whole pixels of the bar's width that `position` fills.
static int DrawnWidth(const ProgressBar *bar, int position)
{
    return position * bar->width / ProgressRange;
}

// Moves the bar when the position fills another number of pixels than the one last told.
static void ShowVisibleChange(ProgressBar *bar)
{
    if (bar->shown < 0 || DrawnWidth(bar, bar->position) != DrawnWidth(bar, bar->shown))
        ShowPosition(bar);
}

static void StartProgressBar(ProgressBar *bar, HWND page)
{
    RECT client = {0, 0, 0, 0};

    bar->page = page;
    bar->shown = -1;
    bar->position = 0;
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, ProgressRange));
    GetClientRect(GetDlgItem(page, IDC_PROGRESS_BAR), &client);
    bar->width = client.right;
}

static void ReportError(const char *format, const char *path)
{
    char message[MessageSize];

    FormatText(message, sizeof message, format, path);
    ShowError(MainWindow, message);
}

// Copies `text` into `buffer` with one trailing backslash cut off; -1 when the text is
// shorter than 2 characters.
static int TakeDirectoryText(char *buffer, const char *text)
{
    size_t length;

    FormatText(buffer, PathBufferSize, "%s", text);
    length = strlen(buffer);
    if (length < 2)
        return -1;
    if (EndsInBackslash(buffer))
        buffer[length - 1] = '\0';
    return 0;
}

// Enters the install directory, or creates it (one level); -1 with a message when neither
// works. Entering it leaves it the current directory for the rest of the run.
static int MakeInstallDirectory(const char *install)
{
    char directory[PathBufferSize + 1];

    // A drive's root, "c:" here, is entered as "c:\": alone it is that drive's current folder.
    JoinDirectory(directory, sizeof directory, install, "");
    if (SetCurrentDirectoryA(directory))
        return 0;
    if (CreateDirectoryA(directory, NULL)) {
        CopyJournal.installMade = 1;
        return 0;
    }
    ReportError("Can not create directory %s", install);
    return -1;
}

// `target` ends in the backslash of a directory entry, which is cut off here. An existing
// directory is used as it is; -1 with a message when it can be neither found nor created.
// A message finds the bar where the bytes before this entry put it.
static int MakeTargetDirectory(int entry, char *target, ProgressBar *bar)
{
    DWORD attributes;

    target[strlen(target) - 1] = '\0';
    attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    if (CreateDirectoryA(target, NULL)) {
        CopyJournal.entries[entry] = CopyCreated;
        return 0;
    }
    ShowPosition(bar);
    ReportError("Could not create directory %s", target);
    return -1;
}

// A copied file must be writable even when its source was read-only. Only a read-only
// target is written to: a write costs as much as a small file's copy.
static void MakeWritable(const char *target)
{
    DWORD attributes = GetFileAttributesA(target);

    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
        return;
    attributes &= ~(DWORD)FILE_ATTRIBUTE_READONLY;
    SetFileAttributesA(target, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
}

// A copy that failed leaves no part of the file behind; a file that was there before it
// began (the copy found the name taken) is not the copy's to remove.
static void RemoveStump(const char *target, DWORD copyError)
{
    if (copyError == ERROR_FILE_EXISTS || copyError == ERROR_ALREADY_EXISTS)
        return;
    // The stump may carry its source's read-only attribute.
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(target);
}

static int ReportCopyFailed(const char *target, ProgressBar *bar)
{
    ShowPosition(bar);
    ReportError("Could not copy file %s", target);
    return -2;
}

// A file that was there is replaced only on the user's OK, and only once its old bytes are
// kept aside; Cancel keeps it (writable, as a copied file) and the copy goes on. In an
// install directory this run made, nothing was there. Returns 0, or -2 with a message
// when the file could not be copied.
static int CopyTargetFile(int entry, const char *source, const char *target, ProgressBar *bar)
{
    char question[MessageSize];
    DWORD attributes = INVALID_FILE_ATTRIBUTES;

    if (!CopyJournal.installMade)
        attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        ShowPosition(bar);
        FormatText(question, sizeof question, "File %s exists overwrite ?", target);
        if (!AskToGoAhead(MainWindow, question)) {
            MakeWritable(target);
            return 0;
        }
        // A folder, or a file that cannot be moved, stays as it was.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || KeepAside(entry, target) < 0)
            return ReportCopyFailed(target, bar);
    }
    if (!CopyFileA(source, target, TRUE)) {
        RemoveStump(target, GetLastError());
        return ReportCopyFailed(target, bar);
    }
    if (CopyJournal.entries[entry] == CopyUntouched)
        CopyJournal.entries[entry] = CopyCreated;
    MakeWritable(target);
    return 0;
}

// Handles every entry of the file list, moving the bar by the bytes before each entry.
// Returns 0, the result of the first entry that failed, or -1 once the user has closed
// the main window, which ends the copy at once.
static int CopyEntries(ProgressBar *bar)
{
    char target[TargetPathSize];
    const char *path;
    double total = TotalBytes();
    double done = 0;
    int result = 0;
    int i;

    for (i = 0; i < FileCount && result == 0; i++) {
        PumpMessages();
        if (MainWindowDestroyed)
            return -1;
        bar->position = ProgressPosition(done, total);
        if (i == FileCount - 1)
            ShowPosition(bar);
        else
            ShowVisibleChange(bar);
        done += CountedSize(FileSizes[i]);
        path = FilePaths[i];
        JournalTarget(i, target, sizeof target);
        // A directory entry ends in the backslash that the scan put there, which only a
        // walk by characters tells from the second byte of a file name's last character.
        if (EndsInBackslash(path))
            result = MakeTargetDirectory(i, target, bar);
        else
            result = CopyTargetFile(i, path, target, bar);
    }
    // A close during the question about the last entry is seen only here.
    return MainWindowDestroyed ? -1 : result;
}

int CopyTree(const char *source, const char *install)
{
    char sourceText[PathBufferSize];
    char installText[PathBufferSize];
    ProgressBar bar;
    HWND page;
    BOOL destroyed;
    int result;

    if (TakeDirectoryText(sourceText, source) < 0 ||
        TakeDirectoryText(installText, install) < 0)
        return -1;

    FileCount = 0;
    FileListOverflowPath[0] = '\0';
    StartCopyJournal(installText, (int)strlen(sourceText));
    ScanTree(sourceText);
    if (MainWindowDestroyed)
        return -1;
    // A tree that does not fit is not installed at all rather than in part.
    if (FileListOverflowPath[0] != '\0') {
        ReportError("Can not install %s: too many files or path too long",
                    FileListOverflowPath);
        return -1;
    }
    if (MakeInstallDirectory(installText) < 0)
        return -1;
    if (!AskWhenCopyDoesNotFit())
        return MainWindowDestroyed ? -1 : CopyDeclined;

    page = CreateProgressPage();
    ShowWindow(page, SW_SHOW);
    StartProgressBar(&bar, page);
    result = CopyEntries(&bar);
    destroyed = DestroyWindow(page);
    if (result < 0)
        return result;
    // A finished copy reports whether its page went away: nonzero, or 0 when it did not.
    return destroyed ? 1 : 0;
}
