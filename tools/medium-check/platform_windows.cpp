// The Windows side of medium-check: paths are used as they are; names are listed in
// Unicode and converted by the system, as setup's ANSI calls would see them.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "casetable.h"
#include "platform.h"

enum { CheckRealPathSize = 1024 };

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

int ArgumentToWindows(const char *argument, char *out, int size)
{
    return LocalPath(argument, out, size);
}

std::string Shown(const char *windowsText)
{
    return windowsText;
}

void SystemProblem(char *text, int size)
{
    DWORD error = GetLastError();
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, error, 0, text, size, NULL);

    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == '.'))
        text[--length] = 0;
    if (length == 0)
        snprintf(text, size, "error %lu", (unsigned long)error);
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

int KindOf(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);

    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryMissing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EntryLink;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return EntryCharacterDevice;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryFolder : EntryFile;
}

int CanReadFile(const char *path)
{
    if (KindOf(path) != EntryFile)
        return 0;
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
    if (entry.dwFileAttributes &
        (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return -1;
    return ((long long)entry.nFileSizeHigh << 32) | entry.nFileSizeLow;
}

int TemporaryFolder(char *path, int size)
{
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);

    if (length == 0 || length >= sizeof temp)
        return -1;
    return FullWindowsPath(temp, path, size);
}

int MakeScratchFolder(const char *parent, char *path, int size)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        int written = snprintf(path, size, "%s%smedium-check-%lu-%d", parent,
                               parent[strlen(parent) - 1] == '\\' ? "" : "\\",
                               (unsigned long)GetCurrentProcessId(), attempt);
        if (written < 0 || written >= size)
            return -1;
        if (CreateDirectoryA(path, NULL))
            return 0;
    }
    return -1;
}

struct Identity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

static HANDLE OpenFolder(const char *path)
{
    return CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, NULL);
}

// The identity of the folder `path`; 0, or -1 when it cannot be opened.
static int IdentityOf(const char *path, Identity *identity)
{
    BY_HANDLE_FILE_INFORMATION information;
    HANDLE folder = OpenFolder(path);

    if (folder == INVALID_HANDLE_VALUE)
        return -1;
    BOOL known = GetFileInformationByHandle(folder, &information);
    CloseHandle(folder);
    if (!known)
        return -1;
    identity->volume = information.dwVolumeSerialNumber;
    identity->indexHigh = information.nFileIndexHigh;
    identity->indexLow = information.nFileIndexLow;
    return 0;
}

typedef DWORD WINAPI FinalPathCall(HANDLE, LPSTR, DWORD, DWORD);

// The path of an open folder with links and short names resolved, so that its parents by
// text are its real parents: Windows tells it from Vista on; before, `path` as it is.
static void RealPath(HANDLE folder, const char *path, char *real, int size)
{
    static const char prefix[] = "\\\\?\\";
    FinalPathCall *finalPath = (FinalPathCall *)(void (*)(void))GetProcAddress(
        GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
    char final[CheckRealPathSize];
    DWORD length = finalPath ? finalPath(folder, final, sizeof final, 0) : 0;

    if (length == 0 || length >= sizeof final) {
        snprintf(real, size, "%s", path);
    } else if (strncmp(final, prefix, 4) == 0 && strncmp(final + 4, "UNC\\", 4) == 0) {
        snprintf(real, size, "\\\\%s", final + 8);
    } else {
        snprintf(real, size, "%s", strncmp(final, prefix, 4) == 0 ? final + 4 : final);
    }
}

// Characters of the root of a full path: "C:\" or "\\server\share\".
static size_t RootLength(const char *path)
{
    if (path[0] && path[1] == ':')
        return path[2] == '\\' ? 3 : 2;
    const char *c = path;
    for (int separators = 0; *c && separators < 4; c++)
        if (*c == '\\')
            separators++;
    return (size_t)(c - path);
}

int FolderWithin(const char *inner, const char *outer)
{
    Identity outerIdentity;
    Identity identity;
    char path[CheckRealPathSize];

    if (IdentityOf(outer, &outerIdentity) < 0)
        return -1;
    HANDLE folder = OpenFolder(inner);
    if (folder == INVALID_HANDLE_VALUE)
        return -1;
    RealPath(folder, inner, path, sizeof path);
    CloseHandle(folder);
    size_t rootLength = RootLength(path);
    for (;;) {
        if (IdentityOf(path, &identity) < 0)
            return -1;
        if (identity.volume == outerIdentity.volume &&
            identity.indexHigh == outerIdentity.indexHigh &&
            identity.indexLow == outerIdentity.indexLow)
            return 1;
        if (strlen(path) <= rootLength)
            return 0;
        char *separator = strrchr(path, '\\');
        if (!separator || (size_t)(separator - path) < rootLength)
            path[rootLength] = 0;
        else
            *separator = 0;
    }
}

void ShowDotFiles(void)
{
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

// The name in the code page, best-fit characters included; "" when a character has not
// even that.
static std::string AnsiForm(const WCHAR *name, UINT codePage)
{
    char text[4 * MAX_PATH];
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(codePage, 0, name, -1, text, sizeof text, NULL,
                                     &usedDefault);
    return length > 0 && !usedDefault ? std::string(text) : std::string();
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

std::string CodePageToUtf8(const char *text)
{
    WCHAR wide[4 * MAX_PATH];

    if (MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, text, -1, wide, 4 * MAX_PATH) <= 0)
        return std::string();
    return Narrow(wide, CP_UTF8);
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
        entry.folded = CapitalName(entry.utf8);
        entry.ansi = AnsiForm(found.cFileName, CodePage);
        entry.spellable = !entry.ansi.empty() && Spellable(found.cFileName, CodePage);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            entry.kind = EntryLink;
        else if (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
            entry.kind = EntryCharacterDevice;
        else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            entry.kind = EntryFolder;
        else
            entry.kind = EntryFile;
        entries->push_back(entry);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return 0;
}
