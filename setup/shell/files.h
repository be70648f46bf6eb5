// Files on small integer handles over KERNEL32, for a setup that links no C runtime: the
// calls of the runtime's low-level files that the line files make, with their meaning.
// Files are opened untranslated and shared for reading and writing. A failure leaves its
// cause in LastFileError(): ENOENT for a missing file or folder, EACCES for one that may
// not be opened so (a folder, a read-only or locked file, a write-protected disk), another
// errno value otherwise.
#ifndef VELTRANE_SHELL_FILES_H
#define VELTRANE_SHELL_FILES_H

// `flags` as for open(): O_RDONLY, O_WRONLY or O_RDWR, with O_CREAT and O_TRUNC.
// The handle (0 or more), or -1.
int FileOpen(const char *path, int flags);
// Bytes read (0 at the end of the file) or written, or -1.
int FileRead(int handle, char *buffer, int size);
int FileWrite(int handle, const char *data, int size);
int FileClose(int handle);  // 0, or -1
int LastFileError(void);

// Puts the current directory into `buffer`; 0, or -1 when it does not fit or cannot be
// read (ERANGE or another cause in LastFileError()).
int ReadCurrentDirectory(char *buffer, int size);

#endif
