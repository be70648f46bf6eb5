// The Windows side of medium-check: paths are used as they are.
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
