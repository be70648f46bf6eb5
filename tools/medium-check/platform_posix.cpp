// The POSIX side of medium-check: Windows paths on drive Z: stand for the root of the
// file system, as under Wine, and their parts are matched regardless of case; dot-files
// are hidden unless told otherwise; names are UTF-8, as Wine reads them; links are never
// followed. Windows paths are in the chosen code page, as setup's ANSI calls see them, so
// that every limit is counted in the bytes that setup counts. Also the Win32 listing that
// setup's scan makes.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include "casetable.h"
#include "platform.h"

enum {
    LocalPathSize = 1024,
    MaxListings = 64,  // listings open at one time: one per level of a walk
};

// ---- Names as the names check sees them.

static iconv_t ToCodePage = (iconv_t)-1;
static iconv_t FromCodePage = (iconv_t)-1;

int OpenCodePage(int codePage)
{
    char name[16];

    snprintf(name, sizeof name, "CP%d", codePage);
    if (ToCodePage != (iconv_t)-1)
        iconv_close(ToCodePage);
    if (FromCodePage != (iconv_t)-1)
        iconv_close(FromCodePage);
    ToCodePage = iconv_open(name, "UTF-8");
    FromCodePage = iconv_open("UTF-8", name);
    return ToCodePage == (iconv_t)-1 || FromCodePage == (iconv_t)-1 ? -1 : 0;
}

// `text` converted whole by `conversion`; "" when a character has no conversion.
static std::string Convert(iconv_t conversion, const std::string &text)
{
    char converted[4 * LocalPathSize];
    char *in = (char *)text.data();
    size_t inLeft = text.size();
    char *out = converted;
    size_t outLeft = sizeof converted;

    iconv(conversion, 0, 0, 0, 0);
    // A stateful conversion (1258 composes a letter with the accent after it) holds the
    // last character back until it is flushed.
    if (iconv(conversion, &in, &inLeft, &out, &outLeft) == (size_t)-1 ||
        iconv(conversion, 0, 0, &out, &outLeft) == (size_t)-1)
        return std::string();
    return std::string(converted, out - converted);
}

std::string CodePageToUtf8(const char *text)
{
    return Convert(FromCodePage, text);
}

static int IsAscii(const std::string &text)
{
    for (char c : text)
        if ((unsigned char)c >= 0x80)
            return 0;
    return 1;
}

// The ANSI form of a UTF-8 text that comes back unchanged from the code page; "" when it
// has none.
static std::string ExactAnsi(const std::string &text)
{
    if (IsAscii(text))
        return text;
    std::string ansi = Convert(ToCodePage, text);
    return !ansi.empty() && Convert(FromCodePage, ansi) == text ? ansi : std::string();
}

int ArgumentToWindows(const char *argument, char *out, int size)
{
    std::string ansi = ExactAnsi(argument);
    int length = snprintf(out, size, "%s", ansi.c_str());
    return (*argument && ansi.empty()) || length < 0 || length >= size ? -1 : 0;
}

std::string Shown(const char *windowsText)
{
    std::string utf8 = IsAscii(windowsText) ? windowsText : CodePageToUtf8(windowsText);
    return utf8.empty() ? windowsText : utf8;
}

void SystemProblem(char *text, int size)
{
    snprintf(text, size, "%s", strerror(errno));
}

// The name as Windows' ANSI calls list it: a question mark for each character that the
// code page cannot spell exactly.
static std::string ListedAnsi(const std::string &name)
{
    std::string exact = ExactAnsi(name);
    if (!exact.empty() || name.empty())
        return exact;
    const unsigned char *text = (const unsigned char *)name.data();
    size_t left = name.size();
    std::string listed;
    while (left > 0) {
        size_t used;
        DecodeUtf8(text, left, &used);
        std::string character = ExactAnsi(std::string((const char *)text, used));
        listed += character.empty() ? "?" : character;
        text += used;
        left -= used;
    }
    return listed;
}

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// 1 when a part of `path` is "..".
static int HasParentPart(const char *path)
{
    for (const char *part = path; (part = strstr(part, "..")) != 0; part += 2)
        if ((part == path || part[-1] == '/') && (part[2] == 0 || part[2] == '/'))
            return 1;
    return 0;
}

// The real path of a folder still to be made: its parent's real path and its own name.
// 0; -2 when ".." follows a folder that does not exist; else -1.
static int ResolveNewFolder(const char *folder, char *local)
{
    char parent[PATH_MAX];

    int length = snprintf(parent, sizeof parent, "%s", folder);
    if (length <= 0 || length >= (int)sizeof parent)
        return -1;
    while (length > 1 && parent[length - 1] == '/')
        parent[--length] = 0;
    char *slash = strrchr(parent, '/');
    const char *name = slash ? slash + 1 : parent;
    if (strcmp(name, "..") == 0)
        return -2;
    if (strcmp(name, ".") == 0 || !*name)
        return -1;
    char nameCopy[NAME_MAX + 1];
    if (snprintf(nameCopy, sizeof nameCopy, "%s", name) >= (int)sizeof nameCopy)
        return -1;
    if (!slash)
        snprintf(parent, sizeof parent, ".");
    else if (slash == parent)
        parent[1] = 0;
    else
        *slash = 0;
    char resolved[PATH_MAX];
    if (!realpath(parent, resolved))
        return errno == ENOENT && HasParentPart(parent) ? -2 : -1;
    length = snprintf(local, PATH_MAX, "%s/%s", strcmp(resolved, "/") == 0 ? "" : resolved,
                      nameCopy);
    return length < PATH_MAX ? 0 : -1;
}

int FullWindowsPath(const char *folder, char *path, int size)
{
    char local[PATH_MAX];

    if (!realpath(folder, local)) {
        if (errno != ENOENT)
            return -1;
        int resolved = ResolveNewFolder(folder, local);
        if (resolved < 0)
            return resolved;
    }
    std::string ansi = ExactAnsi(local);
    if (strchr(local, '\\') || ansi.empty()) {
        errno = EILSEQ;
        return -1;
    }
    int length = snprintf(path, size, "Z:%s", ansi == "/" ? "\\" : ansi.c_str());
    if (length < 0 || length >= size)
        return -1;
    for (char *c = path; *c; c++)
        if (*c == '/')
            *c = '\\';
    return 0;
}

// Replaces the last part of `local` (from `partStart`) by the name that matches it
// regardless of case in its directory; 1 when one was found.
static int MatchPartCase(char *local, int partStart)
{
    char directory[LocalPathSize];
    int found = 0;

    snprintf(directory, sizeof directory, "%.*s", partStart > 1 ? partStart - 1 : 1, local);
    DIR *listing = opendir(directory);
    if (!listing)
        return 0;
    while (dirent *entry = readdir(listing)) {
        if (strcasecmp(entry->d_name, local + partStart) == 0) {
            memcpy(local + partStart, entry->d_name, strlen(entry->d_name));
            found = 1;
            break;
        }
    }
    closedir(listing);
    return found;
}

int LocalPath(const char *windowsPath, char *local, int size)
{
    std::string utf8 = IsAscii(windowsPath) ? windowsPath : CodePageToUtf8(windowsPath);
    const char *rest = utf8.c_str();
    int length = 0;
    int resolving = 1;  // stops at the first part that does not exist
    struct stat status;

    if (utf8.empty() && *windowsPath)
        return -1;
    if ((rest[0] == 'Z' || rest[0] == 'z') && rest[1] == ':') {
        rest += 2;
        if (*rest && !IsSeparator(*rest))
            return -1;
    } else if (rest[0] && rest[1] == ':') {
        return -1;
    } else if (!IsSeparator(*rest)) {
        resolving = 0;  // relative to the current folder: taken as it is
    }
    while (*rest) {
        while (IsSeparator(*rest))
            rest++;
        if (!*rest)
            break;
        int partLength = (int)strcspn(rest, "\\/");
        int partStart = length + (length > 0 || resolving ? 1 : 0);
        if (partStart + partLength >= size)
            return -1;
        if (partStart > length)
            local[length] = '/';
        memcpy(local + partStart, rest, partLength);
        length = partStart + partLength;
        local[length] = 0;
        rest += partLength;
        if (resolving && lstat(local, &status) != 0)
            resolving = MatchPartCase(local, partStart);
    }
    if (length == 0) {
        if (size < 2)
            return -1;
        snprintf(local, size, "%s", resolving ? "/" : ".");
    }
    return 0;
}

int IsDirectory(const char *path)
{
    char local[LocalPathSize];
    struct stat status;

    return LocalPath(path, local, sizeof local) == 0 && stat(local, &status) == 0 &&
           S_ISDIR(status.st_mode);
}

int MakeDirectory(const char *path)
{
    char local[LocalPathSize];

    if (LocalPath(path, local, sizeof local) < 0)
        return -1;
    if (mkdir(local, 0777) == 0)
        return 0;
    return errno == EEXIST && IsDirectory(path) ? 1 : -1;
}

int DeleteDirectory(const char *path)
{
    char local[LocalPathSize];

    return LocalPath(path, local, sizeof local) == 0 && rmdir(local) == 0 ? 0 : -1;
}

int DeleteOneFile(const char *path)
{
    char local[LocalPathSize];

    return LocalPath(path, local, sizeof local) == 0 && unlink(local) == 0 ? 0 : -1;
}

static int SameFile(const struct stat *a, const struct stat *b)
{
    return a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

// The entry's own status in `status`: 0, or -1 when it has none.
static int EntryStatus(const char *path, struct stat *status)
{
    char local[LocalPathSize];

    return LocalPath(path, local, sizeof local) == 0 && lstat(local, status) == 0 ? 0 : -1;
}

// Opened without waiting (a FIFO put in its place since it was looked at) nor following a
// link, and only when it is still the same regular file.
int CanReadFile(const char *path)
{
    char local[LocalPathSize];
    struct stat before;
    struct stat opened;

    if (LocalPath(path, local, sizeof local) < 0 || lstat(local, &before) != 0 ||
        !S_ISREG(before.st_mode))
        return 0;
    int handle = open(local, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY);
    if (handle < 0)
        return 0;
    int same = fstat(handle, &opened) == 0 && S_ISREG(opened.st_mode) &&
               SameFile(&before, &opened);
    close(handle);
    return same;
}

long long FileSize(const char *path)
{
    struct stat status;

    if (EntryStatus(path, &status) < 0 || !S_ISREG(status.st_mode))
        return -1;
    return (long long)status.st_size;
}

int TemporaryFolder(char *path, int size)
{
    const char *folder = getenv("TMPDIR");

    return FullWindowsPath(folder && *folder ? folder : "/tmp", path, size);
}

int MakeScratchFolder(const char *parent, char *path, int size)
{
    char local[LocalPathSize];

    if (LocalPath(parent, local, sizeof local) < 0 ||
        strlen(local) + sizeof "/medium-check-XXXXXX" > sizeof local)
        return -1;
    strcat(local, "/medium-check-XXXXXX");
    if (!mkdtemp(local))
        return -1;
    return FullWindowsPath(local, path, size);
}

// Up the real path by its text: with every link resolved, its parents by text are the
// folder's real parents, and each is looked at from its own parent, so that a folder that
// cannot be read or searched itself is still told apart.
int FolderWithin(const char *inner, const char *outer)
{
    char local[LocalPathSize];
    char real[PATH_MAX];
    struct stat outerStatus;
    struct stat status;

    if (LocalPath(outer, local, sizeof local) < 0 || stat(local, &outerStatus) != 0 ||
        LocalPath(inner, local, sizeof local) < 0 || !realpath(local, real))
        return -1;
    for (;;) {
        if (stat(real, &status) != 0)
            return -1;
        if (SameFile(&status, &outerStatus))
            return 1;
        char *slash = strrchr(real, '/');
        if (!slash || strcmp(real, "/") == 0)
            return 0;
        slash[slash == real ? 1 : 0] = 0;
    }
}

static int KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryFile;
    if (S_ISDIR(mode))
        return EntryFolder;
    if (S_ISLNK(mode))
        return EntryLink;
    if (S_ISFIFO(mode))
        return EntryFifo;
    if (S_ISSOCK(mode))
        return EntrySocket;
    return S_ISBLK(mode) ? EntryBlockDevice : EntryCharacterDevice;
}

int KindOf(const char *path)
{
    struct stat status;

    return EntryStatus(path, &status) < 0 ? EntryMissing : KindOfMode(status.st_mode);
}

static int DotFilesHidden = 1;

void ShowDotFiles(void)
{
    DotFilesHidden = 0;
}

int LocalPathLimit(void)
{
    return PATH_MAX;
}

int ListFolder(const char *folder, std::vector<FolderEntry> *entries)
{
    char local[LocalPathSize];

    if (LocalPath(folder, local, sizeof local) < 0)
        return -1;
    DIR *listing = opendir(local);
    if (!listing)
        return -1;
    while (dirent *found = readdir(listing)) {
        char path[LocalPathSize + NAME_MAX + 2];
        struct stat status;
        if (strcmp(found->d_name, ".") == 0 || strcmp(found->d_name, "..") == 0)
            continue;
        snprintf(path, sizeof path, "%s/%s", local, found->d_name);
        FolderEntry entry;
        entry.name = found->d_name;
        entry.utf8 = found->d_name;
        entry.local = ListedAnsi(entry.name);
        entry.folded = CapitalName(entry.name);
        entry.ansi = Convert(ToCodePage, entry.name);
        entry.spellable = !entry.ansi.empty() && Convert(FromCodePage, entry.ansi) == entry.name;
        entry.kind = lstat(path, &status) == 0 ? KindOfMode(status.st_mode) : EntryMissing;
        entries->push_back(entry);
    }
    closedir(listing);
    return 0;
}

// ---- The listing that setup's scan and the checker's walks use.

struct Listing {
    DIR *directory;
    char path[LocalPathSize];
};

static Listing Listings[MaxListings];

static int IsDotName(const char *name)
{
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Fills `entry` from the listing's next name in the code page, as the ANSI calls list it;
// 0 at its end. A name holding a backslash is passed over: Windows cannot hold it, and a
// path made of it would name another place (the names check reports it). Anything but a
// file or a folder is a system entry, which the scan leaves out and no walk enters or
// opens.
static int NextEntry(Listing *listing, WIN32_FIND_DATAA *entry)
{
    dirent *found;
    char local[LocalPathSize + MAX_PATH];
    struct stat status;

    do {
        found = readdir(listing->directory);
        if (!found)
            return 0;
    } while (strchr(found->d_name, '\\'));
    snprintf(entry->cFileName, sizeof entry->cFileName, "%s", ListedAnsi(found->d_name).c_str());
    snprintf(local, sizeof local, "%s/%s", listing->path, found->d_name);
    entry->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    entry->nFileSizeHigh = 0;
    entry->nFileSizeLow = 0;
    if (lstat(local, &status) == 0) {
        if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
            entry->dwFileAttributes = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
            return 1;
        }
        entry->nFileSizeHigh = (DWORD)((uint64_t)status.st_size >> 32);
        entry->nFileSizeLow = (DWORD)status.st_size;
        if (S_ISDIR(status.st_mode))
            entry->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        if (!(status.st_mode & S_IWUSR))
            entry->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (DotFilesHidden && found->d_name[0] == '.' && !IsDotName(found->d_name))
        entry->dwFileAttributes |= FILE_ATTRIBUTE_HIDDEN;
    return 1;
}

HANDLE FindFirstFileA(const char *pattern, WIN32_FIND_DATAA *entry)
{
    char directory[LocalPathSize];
    const char *last = pattern + strlen(pattern);
    Listing *listing = 0;

    while (last > pattern && !IsSeparator(last[-1]))
        last--;
    if (strcmp(last, "*.*") != 0 && strcmp(last, "*") != 0)
        return INVALID_HANDLE_VALUE;
    snprintf(directory, sizeof directory, "%.*s", (int)(last - pattern), pattern);
    for (int i = 0; i < MaxListings && !listing; i++)
        if (!Listings[i].directory)
            listing = &Listings[i];
    if (!listing || LocalPath(directory, listing->path, sizeof listing->path) < 0)
        return INVALID_HANDLE_VALUE;
    listing->directory = opendir(listing->path);
    if (!listing->directory)
        return INVALID_HANDLE_VALUE;
    if (!NextEntry(listing, entry)) {
        FindClose(listing);
        return INVALID_HANDLE_VALUE;
    }
    return listing;
}

BOOL FindNextFileA(HANDLE listing, WIN32_FIND_DATAA *entry)
{
    return NextEntry((Listing *)listing, entry);
}

BOOL FindClose(HANDLE listing)
{
    Listing *open = (Listing *)listing;

    closedir(open->directory);
    open->directory = 0;
    return 1;
}
