#include <windows.h>
#include <string.h>

#include "folders.h"
#include "paths.h"
#include "platform.h"

// What a walk does with one entry of `folder`.
typedef void EntryAction(const char *path, int isDirectory, const char *target);

// Calls `action` on each entry of `folder` but "." and "..", with the entry's path and
// `target` joined with the entry's name (or 0 when there is no target).
static void ForEachEntry(const char *folder, const char *target, EntryAction *action)
{
    char pattern[CheckPathSize];
    WIN32_FIND_DATAA entry;

    if (JoinPath(pattern, sizeof pattern, folder, "*.*") < 0)
        return;
    HANDLE listing = FindFirstFileA(pattern, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        char path[CheckPathSize];
        char targetPath[CheckPathSize];
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
            continue;
        if (JoinPath(path, sizeof path, folder, entry.cFileName) < 0)
            continue;
        if (target && JoinPath(targetPath, sizeof targetPath, target, entry.cFileName) < 0)
            continue;
        action(path, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
               target ? targetPath : 0);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

static void CopyFolder(const char *path, int isDirectory, const char *target)
{
    if (isDirectory && MakeDirectory(target) >= 0)
        ForEachEntry(path, target, CopyFolder);
}

void CopyFolderTree(const char *source, const char *target)
{
    ForEachEntry(source, target, CopyFolder);
}

static int EntriesSeen;

static void CountEntry(const char *, int, const char *)
{
    EntriesSeen++;
}

int IsEmptyFolder(const char *folder)
{
    EntriesSeen = 0;
    ForEachEntry(folder, 0, CountEntry);
    return EntriesSeen == 0;
}

static void DeleteIfEmpty(const char *path, int isDirectory, const char *)
{
    if (isDirectory)
        DeleteEmptyFolders(path, 1);
}

void DeleteEmptyFolders(const char *folder, int withTop)
{
    ForEachEntry(folder, 0, DeleteIfEmpty);
    if (withTop && IsEmptyFolder(folder))
        DeleteDirectory(folder);
}

static void DeleteEntry(const char *path, int isDirectory, const char *)
{
    if (isDirectory)
        DeleteTree(path);
    else
        DeleteOneFile(path);
}

void DeleteTree(const char *folder)
{
    ForEachEntry(folder, 0, DeleteEntry);
    DeleteDirectory(folder);
}
