// The calls of medium-check that differ between Windows and POSIX. The checker speaks in
// Windows paths throughout, as setup does. On POSIX a path "Z:\a\b" names /a/b, as under
// Wine, and posix/ lends setup's scan the few Win32 calls it makes.
#ifndef VELTRANE_MEDIUM_CHECK_PLATFORM_H
#define VELTRANE_MEDIUM_CHECK_PLATFORM_H

// The full Windows form of the local `folder`, as a program started in it would see its
// current directory (no trailing backslash except at a drive's root); 0, or -1.
int FullWindowsPath(const char *folder, char *path, int size);

// The local form of a full Windows path, each part matched regardless of case as Windows
// does; 0, or -1 when it has none (too long, or on POSIX another drive than Z:).
int LocalPath(const char *windowsPath, char *local, int size);

int IsDirectory(const char *path);       // 1 for an existing directory, else 0
int MakeDirectory(const char *path);     // 0 made, 1 already a directory, -1 failed
int DeleteDirectory(const char *path);   // 0, or -1 (also when it is not empty)
int DeleteOneFile(const char *path);     // 0, or -1

// 1 when the file can be opened for reading, as setup's copy must; else 0.
int CanReadFile(const char *path);

// Size in bytes of the file, also of 2 GiB and more; -1 when it cannot be told.
long long FileSize(const char *path);

// A new empty folder for scratch work; 0, or -1.
int MakeScratchFolder(char *path, int size);

#endif
