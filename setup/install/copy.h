#ifndef VELTRANE_INSTALL_COPY_H
#define VELTRANE_INSTALL_COPY_H

// Scans `source` and rebuilds its tree below `install` under the progress page, keeping
// in the journal what it changed (install/journal.h), for the caller to commit or roll back.
// Returns 0 or more when every entry was handled; -1 for a short argument, an install
// directory that cannot be made, a tree that does not fit, a directory that cannot be
// created, or the main window gone (closed by the user), which stops the copy at once;
// -2 when a file could not be copied; CopyDeclined when the tree does not fit on the drive
// and the user chose another directory, before anything was copied. Each failure is
// reported where it happens.
enum { CopyDeclined = -3 };
int CopyTree(const char *source, const char *install);

// Position of the progress bar (0 to 10000) after `done` of `total` bytes, truncated;
// 0 when the total is 0.
int ProgressPosition(double done, double total);

#endif
