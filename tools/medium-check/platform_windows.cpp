// The Windows side of medium-check: paths are used as they are; names are listed in
// Unicode and converted by the system, as setup's ANSI calls would see them.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "platform.h"

int FullWindowsPath(const char *folder, char *path, int size)
{
    char *name;
    DWORD length = GetFullPathNameA(folder, size, path, &name);

    if (length == 0 || length >= (DWORD)size)
        return -1;
    // As the current directory: a trailing backslash only at a drive's root.
    if (length > 3 && path[length - 1] == '\\')
        path[length - 1] = 0;
    return 0;
}

int LocalPath(const char *windowsPath, char *local, int size)
{
    int length = snprintf(local, size, "%s", windowsPath);
    return length >= 0 && length < size ? 0 : -1;
}

int IsDirectory(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int MakeDirectory(const char *path)
{
    if (CreateDirectoryA(path, NULL))
        return 0;
    return IsDirectory(path) ? 1 : -1;
}

int DeleteDirectory(const char *path)
{
    return RemoveDirectoryA(path) ? 0 : -1;
}

int DeleteOneFile(const char *path)
{
    return DeleteFileA(path) ? 0 : -1;
}

int CanReadFile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);

    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

long long FileSize(const char *path)
{
    WIN32_FIND_DATAA entry;
    HANDLE found = FindFirstFileA(path, &entry);

    if (found == INVALID_HANDLE_VALUE)
        return -1;
    FindClose(found);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return -1;
    return ((long long)entry.nFileSizeHigh << 32) | entry.nFileSizeLow;
}

int MakeScratchFolder(char *path, int size)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);

    if (length == 0 || length >= sizeof temp)
        return -1;
    for (int attempt = 0; attempt < 100; attempt++) {
        int written = snprintf(path, size, "%smedium-check-%lu-%d", temp,
                               (unsigned long)GetCurrentProcessId(), attempt);
        if (written < 0 || written >= size)
            return -1;
        if (CreateDirectoryA(path, NULL))
            return 0;
    }
    return -1;
}

int LocalPathLimit(void)
{
    return MAX_PATH;
}

static UINT CodePage;

int OpenCodePage(int codePage)
{
    CodePage = (UINT)codePage;
    return IsValidCodePage(CodePage) ? 0 : -1;
}

// `wide` in the code page `codePage`, unknown characters as question marks.
static std::string Narrow(const WCHAR *wide, UINT codePage)
{
    char text[4 * MAX_PATH];
    int length = WideCharToMultiByte(codePage, 0, wide, -1, text, sizeof text, NULL, NULL);
    return length > 0 ? std::string(text) : std::string();
}

// 1 when the name comes back unchanged from the code page: a best-fit or default
// character would not.
static int Spellable(const WCHAR *name, UINT codePage)
{
    char text[4 * MAX_PATH];
    WCHAR back[MAX_PATH];
    int length = WideCharToMultiByte(codePage, 0, name, -1, text, sizeof text, NULL, NULL);

    if (length <= 0 || MultiByteToWideChar(codePage, 0, text, -1, back, MAX_PATH) <= 0)
        return 0;
    return lstrcmpW(name, back) == 0;
}

static std::string Folded(const WCHAR *name)
{
    WCHAR upper[MAX_PATH];
    int length = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, name, -1, upper, MAX_PATH);
    return length > 0 ? Narrow(upper, CP_UTF8) : Narrow(name, CP_UTF8);
}

int ListFolder(const char *folder, std::vector<FolderEntry> *entries)
{
    char pattern[MAX_PATH + 4];
    WCHAR widePattern[MAX_PATH + 4];
    WIN32_FIND_DATAW found;

    int written = snprintf(pattern, sizeof pattern, "%s\\*", folder);
    if (written < 0 || written >= (int)sizeof pattern ||
        MultiByteToWideChar(CP_ACP, 0, pattern, -1, widePattern, MAX_PATH + 4) <= 0)
        return -1;
    HANDLE listing = FindFirstFileW(widePattern, &found);
    if (listing == INVALID_HANDLE_VALUE)
        return -1;
    do {
        if (lstrcmpW(found.cFileName, L".") == 0 || lstrcmpW(found.cFileName, L"..") == 0)
            continue;
        FolderEntry entry;
        entry.name = Narrow(found.cFileName, CP_ACP);
        entry.utf8 = Narrow(found.cFileName, CP_UTF8);
        // A name that the ANSI calls cannot spell is reached by its short name.
        entry.local = Spellable(found.cFileName, CP_ACP) || !found.cAlternateFileName[0]
                          ? entry.name : Narrow(found.cAlternateFileName, CP_ACP);
        entry.folded = Folded(found.cFileName);
        entry.spellable = Spellable(found.cFileName, CodePage);
        entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries->push_back(entry);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return 0;
}
