// The calls of medium-check that differ between Windows and POSIX. The checker speaks in
// Windows paths throughout, as setup does. On POSIX a path "Z:\a\b" names /a/b, as under
// Wine, and posix/ lends setup's scan the few Win32 calls it makes.
#ifndef VELTRANE_MEDIUM_CHECK_PLATFORM_H
#define VELTRANE_MEDIUM_CHECK_PLATFORM_H

#include <string>
#include <vector>

// The full Windows form of the local `folder`, as a program started in it would see its
// current directory (no trailing backslash except at a drive's root), in the code page of
// OpenCodePage on POSIX. Resolved physically on POSIX, so a folder still to be made needs
// its parent. 0; -2 when ".." follows a folder that does not exist; else -1.
int FullWindowsPath(const char *folder, char *path, int size);

// The local form of a full Windows path, each part matched regardless of case as Windows
// does; 0, or -1 when it has none (too long, not in the code page, or on POSIX another
// drive than Z:).
int LocalPath(const char *windowsPath, char *local, int size);

// A text of the command line in the form Windows paths take here (the code page of
// OpenCodePage on POSIX); 0, or -1 when it cannot be spelled so.
int ArgumentToWindows(const char *argument, char *out, int size);

// A Windows path or name as reports show it: in UTF-8 on POSIX, as it is on Windows.
std::string Shown(const char *windowsText);

// Why the last call of the system failed, for a message.
void SystemProblem(char *text, int size);

int IsDirectory(const char *path);       // 1 for an existing directory, else 0
int MakeDirectory(const char *path);     // 0 made, 1 already a directory, -1 failed
int DeleteDirectory(const char *path);   // 0, or -1 (also when it is not empty)
int DeleteOneFile(const char *path);     // 0, or -1

// 1 when the regular file can be opened for reading, as setup's copy must; else 0. Only
// a regular file is opened, and never in a way that can wait.
int CanReadFile(const char *path);

// Size in bytes of the regular file, also of 2 GiB and more; -1 when it cannot be told or
// the entry is no regular file.
long long FileSize(const char *path);

// The folder that scratch folders are made in: TMPDIR (else /tmp) here, the temporary
// folder of Windows there; 0, or -1.
int TemporaryFolder(char *path, int size);

// A new empty folder for scratch work in `parent`; 0, or -1.
int MakeScratchFolder(const char *parent, char *path, int size);

// 1 when the folder `inner` is the folder `outer` or lies below it, told by the identity
// of each folder on the way up from `inner` (device and inode; on Windows volume serial
// number and file index), so that no link, short name, drive letter or letter case hides
// it; 0 when not; -1 when either cannot be opened.
int FolderWithin(const char *inner, const char *outer);

// What an entry is. Setup, a disc image and an archive take only files and folders.
enum EntryKind {
    EntryFile,
    EntryFolder,
    EntryLink,  // a symbolic link (on Windows any reparse point), never followed
    EntryFifo,
    EntrySocket,
    EntryCharacterDevice,
    EntryBlockDevice,
    EntryMissing,
};

// The kind of the entry itself, not of what a link leads to.
int KindOf(const char *path);

// From now on dot-files are ordinary entries, as a disc image or an archive of the medium
// shows them, not hidden as under Wine. Windows reads real attributes and ignores this.
void ShowDotFiles(void);

// Characters that a full path may hold here, the terminator included.
int LocalPathLimit(void);

// One entry of a folder as the names check sees it.
struct FolderEntry {
    std::string name;    // as reports show it
    std::string utf8;    // the name in UTF-8, which the rules on its characters read
    std::string local;   // the name that a path to the entry uses here
    std::string folded;  // the name in capitals, as Windows compares names
    std::string ansi;    // the name in the code page of OpenCodePage, a best fit where it has
                         // none; "" when not even that
    int spellable;       // 1 when the ANSI name comes back unchanged from the code page
    int kind;            // EntryKind
};

// Prepares the conversion of names into the ANSI code page `codePage`; 0, or -1 when the
// platform has none.
int OpenCodePage(int codePage);

// `text` of the code page of OpenCodePage in UTF-8; "" when it cannot be converted.
std::string CodePageToUtf8(const char *text);

// The entries of `folder` but "." and "..", hidden ones and links included; 0, or -1 when
// it cannot be listed.
int ListFolder(const char *folder, std::vector<FolderEntry> *entries);

#endif
