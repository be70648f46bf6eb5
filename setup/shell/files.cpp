// The runtime's low-level files, rebuilt over KERNEL32: Windows 95 as first released has no
// C runtime DLL, so setup brings the few calls it needs. A handle is an index into a
// small table of the files open at once (setup has at most a reader and a writer).
#include "shell/files.h"

#include <windows.h>
#include <errno.h>
#include <fcntl.h>

enum { OpenFileLimit = 8 };

static HANDLE OpenFiles[OpenFileLimit];
static int FileError;

int LastFileError(void)
{
    return FileError;
}

// The errno value that the runtime gives for a system error.
static int ErrorCause(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NO_MORE_FILES:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_FAIL_I24:
    case ERROR_DRIVE_LOCKED:
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_NOT_LOCKED:
    case ERROR_LOCK_FAILED:
        return EACCES;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    default:
        // Write protection, sharing and lock violations and their kin.
        if (error >= ERROR_WRITE_PROTECT && error <= ERROR_SHARING_BUFFER_EXCEEDED)
            return EACCES;
        return EINVAL;
    }
}

static int Fail(int cause)
{
    FileError = cause;
    return -1;
}

static int FailWithSystemError(void)
{
    return Fail(ErrorCause(GetLastError()));
}

static DWORD Disposition(int flags)
{
    if (flags & O_CREAT)
        return flags & O_TRUNC ? CREATE_ALWAYS : OPEN_ALWAYS;
    return flags & O_TRUNC ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

static DWORD Access(int flags)
{
    switch (flags & (O_RDONLY | O_WRONLY | O_RDWR)) {
    case O_WRONLY:
        return GENERIC_WRITE;
    case O_RDWR:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

// The open file behind `handle`, or 0 when it names none.
static HANDLE FileOf(int handle)
{
    if (handle < 0 || handle >= OpenFileLimit)
        return 0;
    return OpenFiles[handle];
}

int FileOpen(const char *path, int flags)
{
    int handle = 0;

    while (handle < OpenFileLimit && OpenFiles[handle])
        handle++;
    if (handle == OpenFileLimit)
        return Fail(EMFILE);
    HANDLE file = CreateFileA(path, Access(flags), FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              Disposition(flags), FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FailWithSystemError();
    OpenFiles[handle] = file;
    return handle;
}

int FileRead(int handle, char *buffer, int size)
{
    HANDLE file = FileOf(handle);
    DWORD read;

    if (!file)
        return Fail(EBADF);
    if (!ReadFile(file, buffer, (DWORD)size, &read, NULL))
        return FailWithSystemError();
    return (int)read;
}

int FileWrite(int handle, const char *data, int size)
{
    HANDLE file = FileOf(handle);
    DWORD written;

    if (!file)
        return Fail(EBADF);
    if (!WriteFile(file, data, (DWORD)size, &written, NULL))
        return FailWithSystemError();
    // A disk that is full takes part of the data or none; the runtime calls that ENOSPC.
    if (written == 0 && size > 0)
        return Fail(ENOSPC);
    return (int)written;
}

int FileClose(int handle)
{
    HANDLE file = FileOf(handle);

    if (!file)
        return Fail(EBADF);
    OpenFiles[handle] = 0;
    return CloseHandle(file) ? 0 : FailWithSystemError();
}

int ReadCurrentDirectory(char *buffer, int size)
{
    DWORD length = GetCurrentDirectoryA((DWORD)size, buffer);

    if (length == 0)
        return FailWithSystemError();
    // A buffer that is too small gets the size it would need, terminator included.
    if (length >= (DWORD)size)
        return Fail(ERANGE);
    return 0;
}
