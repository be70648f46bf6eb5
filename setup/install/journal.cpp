// The copy's journal: old files are kept aside by a rename before their replacements are
// written, and everything the copy made is noted, so that the wizard can either delete the
// kept copies once the whole copy succeeded or put the install directory back as it was.
// The kept copies' folder mirrors the tree below the install directory, which is all a
// later run needs to put the files back after this one was killed.
#include <windows.h>
#include <string.h>

#include "install/journal.h"
#include "shell/state.h"
#include "shell/text.h"

enum {
    // The install text, the kept copies' folder and the part of a list path below the source.
    JournalPathSize = PathBufferSize + sizeof "\\" KeptFolderName "\\" + FileListPathSize,
};

enum KeptAction { PutBack, LeaveInPlace };

// Tallies of a walk through the kept copies.
struct KeptCount {
    int done;
    int failed;
};

void StartCopyJournal(const char *install, int sourceLength)
{
    FormatText(CopyJournal.install, sizeof CopyJournal.install, "%s", install);
    CopyJournal.sourceLength = sourceLength;
    memset(CopyJournal.entries, CopyUntouched, sizeof CopyJournal.entries);
}

static const char *BelowSource(int entry)
{
    return FilePaths[entry] + CopyJournal.sourceLength + 1;
}

void JournalTarget(int entry, char *target, int size)
{
    FormatText(target, size, "%s\\%s", CopyJournal.install, BelowSource(entry));
}

// A read-only file is deleted too: the copy may have made one, and a kept copy may be one.
static int RemoveFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);

    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) ? 0 : -1;
}

// Makes every folder of `path` from byte `from` on, up to its last backslash.
static void MakeFoldersOf(char *path, int from)
{
    for (int i = from; path[i]; i += CharacterLength(path + i)) {
        if (path[i] != '\\')
            continue;
        path[i] = '\0';
        CreateDirectoryA(path, NULL);
        path[i] = '\\';
    }
}

// Renames `from` to `to`, making the folders of `to` below byte `foldersFrom` when they are
// missing: only the first file of each folder pays for them. 0, or -1.
static int MoveMakingFolders(const char *from, char *to, int foldersFrom)
{
    if (MoveFileA(from, to))
        return 0;
    MakeFoldersOf(to, foldersFrom);
    return MoveFileA(from, to) ? 0 : -1;
}

// Where list entry `entry` is kept; its length.
static int KeptPath(int entry, char *kept, int size)
{
    return FormatText(kept, size, "%s\\" KeptFolderName "\\%s", CopyJournal.install,
                      BelowSource(entry));
}

int KeepAside(int entry, const char *target)
{
    char kept[JournalPathSize];

    if (KeptPath(entry, kept, sizeof kept) >= (int)sizeof kept)
        return -1;
    if (MoveMakingFolders(target, kept, (int)strlen(CopyJournal.install) + 1) < 0)
        return -1;
    CopyJournal.entries[entry] = CopyReplaced;
    return 0;
}

// One kept copy: back over what now stands at `target` (the copy's own file, or the stump
// of one), or left where it is.
static void HandleKeptFile(char *kept, char *target, int targetFoldersFrom, KeptAction action,
                           KeptCount *count)
{
    int result;

    if (action == LeaveInPlace)
        return;
    RemoveFile(target);
    result = MoveMakingFolders(kept, target, targetFoldersFrom);
    if (result == 0)
        count->done++;
    else
        count->failed++;
}

// Walks the kept copies' folder `kept`, whose files belong in `target`, and removes every
// folder it empties. A name too long for the buffers counts as a failure and stays.
static void WalkKeptFolder(const char *kept, const char *target, int targetFoldersFrom,
                           KeptAction action, KeptCount *count)
{
    char pattern[JournalPathSize];
    char keptEntry[JournalPathSize];
    char targetEntry[JournalPathSize];
    WIN32_FIND_DATAA found;
    HANDLE search;

    if (FormatText(pattern, sizeof pattern, "%s\\*.*", kept) >= (int)sizeof pattern)
        return;
    search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // Ignore . and ..
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
            continue;
        if (FormatText(keptEntry, sizeof keptEntry, "%s\\%s", kept, found.cFileName) >=
                (int)sizeof keptEntry ||
            FormatText(targetEntry, sizeof targetEntry, "%s\\%s", target, found.cFileName) >=
                (int)sizeof targetEntry) {
            count->failed++;
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            WalkKeptFolder(keptEntry, targetEntry, targetFoldersFrom, action, count);
        else
            HandleKeptFile(keptEntry, targetEntry, targetFoldersFrom, action, count);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    RemoveDirectoryA(kept);
}

// Walks the kept copies of `install`, when there are any.
static KeptCount WalkKeptCopies(const char *install, KeptAction action)
{
    char kept[JournalPathSize];
    char target[JournalPathSize];
    KeptCount count = {0, 0};
    DWORD attributes;

    if (install[0] == '\0')
        return count;  // no copy started

    // A drive's root gives "C:\~setup-kept" and the target "C:".
    JoinDirectory(kept, sizeof kept, install, "\\" KeptFolderName);
    FormatText(target, sizeof target, "%s", install);
    if (EndsInBackslash(target))
        target[strlen(target) - 1] = '\0';
    attributes = GetFileAttributesA(kept);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return count;
    WalkKeptFolder(kept, target, (int)strlen(target) + 1, action, &count);
    return count;
}

// Only the copies this run kept go: whatever an earlier run left that could not be put
// back stays for the user.
int CommitCopy(void)
{
    char kept[JournalPathSize];
    int failed = 0;

    for (int entry = 0; entry < FileCount; entry++) {
        if (CopyJournal.entries[entry] != CopyReplaced)
            continue;
        KeptPath(entry, kept, sizeof kept);
        if (RemoveFile(kept) == 0)
            CopyJournal.entries[entry] = CopyUntouched;
        else
            failed++;
    }
    WalkKeptCopies(CopyJournal.install, LeaveInPlace);
    return failed == 0 ? 0 : -1;
}

// Removes what the copy made, last first, so that each folder is empty when its turn comes.
static void RemoveCreatedEntries(void)
{
    char target[JournalPathSize];

    for (int entry = FileCount - 1; entry >= 0; entry--) {
        if (CopyJournal.entries[entry] != CopyCreated)
            continue;
        JournalTarget(entry, target, sizeof target);
        if (EndsInBackslash(target)) {
            target[strlen(target) - 1] = '\0';
            RemoveDirectoryA(target);
        } else {
            RemoveFile(target);
        }
        CopyJournal.entries[entry] = CopyUntouched;
    }
}

// A folder that is the current directory cannot be removed: the run moves to the root of
// its drive first.
static void RemoveMadeInstallDirectory(void)
{
    // The install directory is a full path: a drive letter and a colon come first.
    char root[] = {CopyJournal.install[0], ':', '\\', '\0'};

    if (!CopyJournal.installMade)
        return;
    SetCurrentDirectoryA(root);
    if (RemoveDirectoryA(CopyJournal.install))
        CopyJournal.installMade = 0;
}

int RollBackCopy(void)
{
    KeptCount count = WalkKeptCopies(CopyJournal.install, PutBack);

    RemoveCreatedEntries();
    RemoveMadeInstallDirectory();
    return count.failed == 0 ? 0 : -1;
}

int RestoreKeptCopies(const char *install)
{
    KeptCount count = WalkKeptCopies(install, PutBack);

    return count.failed == 0 ? count.done : -1;
}
