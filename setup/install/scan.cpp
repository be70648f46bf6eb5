// Source tree scan: builds the file list of copy mode. Each directory is listed twice,
// first for its sub-directories, then for its files, so that every directory stands in
// the list before everything beneath it.
#include <windows.h>
#include <string.h>

#include "install/scan.h"
#include "shell/pump.h"
#include "shell/state.h"
#include "shell/text.h"

enum {
    MaxSubDirectories = 128,
    SubDirectoryNameSize = 64,
    AttributeVolumeLabel = 0x08,
    LargestFileSize = 0x7fffffff,
    // A directory that is neither hidden nor system is entered.
    SubDirectoryMask = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
    // Anything with one of these bits is not a file to install.
    NotAFileMask = FILE_ATTRIBUTE_DIRECTORY | AttributeVolumeLabel | FILE_ATTRIBUTE_SYSTEM |
                   FILE_ATTRIBUTE_HIDDEN,
};

static ScanOmissionReport *OmissionReport;

void ReportScanOmissions(ScanOmissionReport *report)
{
    OmissionReport = report;
}

static void ReportOmission(int omission, const char *directory, const char *name,
                           const char *tail)
{
    if (OmissionReport)
        OmissionReport(omission, directory, name, tail);
}

// Keeps the first path that did not fit, cut to its buffer; the copy refuses such a tree.
static void RecordOverflow(int omission, const char *directory, const char *name,
                           const char *tail)
{
    ReportOmission(omission, directory, name, tail);
    if (FileListOverflowPath[0] != '\0')
        return;
    FormatText(FileListOverflowPath, sizeof FileListOverflowPath, "%s\\%s%s", directory, name,
               tail);
}

// Forms "directory\name" in a path buffer of PathBufferSize bytes; -1 when it does not fit.
static int FormatPath(char *path, const char *directory, const char *name)
{
    if (strlen(directory) + 1 + strlen(name) >= PathBufferSize)
        return -1;
    FormatText(path, PathBufferSize, "%s\\%s", directory, name);
    return 0;
}

// Appends "directory\name" and `tail` with size 0. Returns the entry's index, or -1 when
// the list is full or the path is too long for it.
static int AppendEntry(const char *directory, const char *name, const char *tail)
{
    size_t length = strlen(directory) + 1 + strlen(name) + strlen(tail);

    if (FileCount >= MaxFileCount || length >= FileListPathSize) {
        RecordOverflow(FileCount >= MaxFileCount ? ScanOmitListFull : ScanOmitPathTooLong,
                       directory, name, tail);
        return -1;
    }
    FormatText(FilePaths[FileCount], FileListPathSize, "%s\\%s%s", directory, name, tail);
    FileSizes[FileCount] = 0;
    return FileCount++;
}

static int IsDotEntry(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Tells a listening tool why a hidden, system or volume-label entry is not taken.
static void ReportLeftOut(DWORD attributes, const char *directory, const char *name)
{
    ReportOmission(attributes & FILE_ATTRIBUTE_HIDDEN ? ScanOmitHidden : ScanOmitSystem,
                   directory, name, attributes & FILE_ATTRIBUTE_DIRECTORY ? "\\" : "");
}

// Lists the sub-directory and remembers its name for the descent; returns the new count.
// A sub-directory that does not fit the name table or the list is not descended into.
static int AddSubDirectory(const char *directory, const char *name,
                           char names[][SubDirectoryNameSize], int count)
{
    if (count >= MaxSubDirectories || strlen(name) >= SubDirectoryNameSize) {
        RecordOverflow(count >= MaxSubDirectories ? ScanOmitTooManyDirectories
                                                  : ScanOmitNameTooLong,
                       directory, name, "\\");
        return count;
    }
    if (AppendEntry(directory, name, "\\") < 0)
        return count;
    FormatText(names[count], SubDirectoryNameSize, "%s", name);
    return count + 1;
}

// First pass: enters the sub-directories found by `pattern` into the list and `names`.
// Returns how many names were taken; none when the listing cannot be opened.
static int ListSubDirectories(const char *pattern, const char *directory,
                              char names[][SubDirectoryNameSize])
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    int count = 0;

    if (listing == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // "." and ".." are skipped by name wherever the file system puts them; a root
        // directory has neither, and its first entry counts like any other.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(entry.cFileName))
            continue;
        if ((entry.dwFileAttributes & SubDirectoryMask) == FILE_ATTRIBUTE_DIRECTORY)
            count = AddSubDirectory(directory, entry.cFileName, names, count);
        else
            ReportLeftOut(entry.dwFileAttributes, directory, entry.cFileName);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return count;
}

// The size the listing gives, or SizeTooLarge when it does not fit the list's 32 bits.
static int ListedSize(const WIN32_FIND_DATAA *entry)
{
    if (entry->nFileSizeHigh != 0 || entry->nFileSizeLow > LargestFileSize)
        return SizeTooLarge;
    return (int)entry->nFileSizeLow;
}

// Second pass: enters the files found by `pattern`, each with its size from the listing;
// the files are not opened, so one that cannot be read is entered all the same.
static void ListFiles(const char *pattern, const char *directory)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    int index;

    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if ((entry.dwFileAttributes & NotAFileMask) == 0) {
            index = AppendEntry(directory, entry.cFileName, "");
            if (index >= 0)
                FileSizes[index] = ListedSize(&entry);
        } else {
            ReportLeftOut(entry.dwFileAttributes, directory, entry.cFileName);
        }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

int ScanTree(const char *directory)
{
    char path[PathBufferSize];
    char names[MaxSubDirectories][SubDirectoryNameSize];
    int count;
    int i;

    if (FormatPath(path, directory, "*.*") < 0) {
        RecordOverflow(ScanOmitDirectoryTooLong, directory, "", "");
        return 0;
    }
    count = ListSubDirectories(path, directory, names);
    for (i = 0; i < count; i++) {
        if (FormatPath(path, directory, names[i]) < 0)
            RecordOverflow(ScanOmitDirectoryTooLong, directory, names[i], "\\");
        else
            ScanTree(path);
    }
    FormatPath(path, directory, "*.*");
    PumpMessages();
    ListFiles(path, directory);
    return 0;
}
