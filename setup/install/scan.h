#ifndef VELTRANE_INSTALL_SCAN_H
#define VELTRANE_INSTALL_SCAN_H

// Appends everything below `directory` (no trailing backslash) to the file list:
// sub-directories before their contents, hidden and system entries left out. Records the
// first path that does not fit in FileListOverflowPath and writes nothing past storage.
// Returns 0.
int ScanTree(const char *directory);

// Size of the file in bytes; -1 when it cannot be opened or closed, -2 when the seek to
// its end fails, -3 when the position cannot be read.
int ProbeFileSize(const char *path);

#endif
