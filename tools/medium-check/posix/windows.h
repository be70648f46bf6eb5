// Stand-in for <windows.h> on POSIX: the types that setup's run-wide state declares and
// the directory listing that its scan calls, so that those files build here unchanged.
// The listing is in platform_posix.cpp; it marks dot-files hidden, as Wine does, and links
// as system reparse points.
#ifndef VELTRANE_MEDIUM_CHECK_POSIX_WINDOWS_H
#define VELTRANE_MEDIUM_CHECK_POSIX_WINDOWS_H

#include <stdint.h>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef uintptr_t UINT_PTR;
typedef void *HANDLE;
typedef void *HINSTANCE;
typedef void *HWND;
typedef void *HDC;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define MAX_PATH 260

#define FILE_ATTRIBUTE_READONLY 0x01
#define FILE_ATTRIBUTE_HIDDEN 0x02
#define FILE_ATTRIBUTE_SYSTEM 0x04
#define FILE_ATTRIBUTE_DIRECTORY 0x10
#define FILE_ATTRIBUTE_ARCHIVE 0x20
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    char cFileName[MAX_PATH];
};

// Lists the directory of a pattern "<dir>\*.*" (or "<dir>\*"), "." and ".." included.
HANDLE FindFirstFileA(const char *pattern, WIN32_FIND_DATAA *entry);
BOOL FindNextFileA(HANDLE listing, WIN32_FIND_DATAA *entry);
BOOL FindClose(HANDLE listing);

#endif
