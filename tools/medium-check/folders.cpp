#include <windows.h>
#include <string.h>

#include "folders.h"
#include "names.h"
#include "paths.h"
#include "platform.h"

// What a walk does with one entry of `folder`: its path, name and attributes, and `target`
// joined with its name (or 0 when there is no target).
typedef void EntryAction(const char *path, const char *name, DWORD attributes,
                         const char *target);

// Calls `action` on each entry of `folder` but "." and "..".
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
        action(path, entry.cFileName, entry.dwFileAttributes, target ? targetPath : 0);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

static int IsFolder(DWORD attributes)
{
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
           FILE_ATTRIBUTE_DIRECTORY;
}

// A folder of the medium, made in the target unless its name is one that Windows cannot
// take (reported by the names check): a path made of it could name another place. Links
// are not followed.
static void CopyFolder(const char *path, const char *name, DWORD attributes,
                       const char *target)
{
    char reason[NameReasonSize];

    if (IsFolder(attributes) && !NameProblem(name, reason, sizeof reason) &&
        MakeDirectory(target) >= 0)
        ForEachEntry(path, target, CopyFolder);
}

void CopyFolderTree(const char *source, const char *target)
{
    ForEachEntry(source, target, CopyFolder);
}

static int EntriesSeen;

static void CountEntry(const char *, const char *, DWORD, const char *)
{
    EntriesSeen++;
}

int IsEmptyFolder(const char *folder)
{
    EntriesSeen = 0;
    ForEachEntry(folder, 0, CountEntry);
    return EntriesSeen == 0;
}

static void DeleteIfEmpty(const char *path, const char *, DWORD attributes, const char *)
{
    if (IsFolder(attributes))
        DeleteEmptyFolders(path, 1);
}

void DeleteEmptyFolders(const char *folder, int withTop)
{
    ForEachEntry(folder, 0, DeleteIfEmpty);
    if (withTop && IsEmptyFolder(folder))
        DeleteDirectory(folder);
}

// A link is deleted itself, never what it points to.
static void DeleteEntry(const char *path, const char *, DWORD attributes, const char *)
{
    if (IsFolder(attributes))
        DeleteTree(path);
    else
        DeleteOneFile(path);
}

void DeleteTree(const char *folder)
{
    ForEachEntry(folder, 0, DeleteEntry);
    DeleteDirectory(folder);
}
