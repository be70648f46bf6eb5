// Whole-folder work of medium-check on Windows paths: making the install directory's
// folders in a scratch or preview folder, and clearing up afterwards.
#ifndef VELTRANE_MEDIUM_CHECK_FOLDERS_H
#define VELTRANE_MEDIUM_CHECK_FOLDERS_H

// Makes below `target` every folder that lies below `source`, hidden ones included.
void CopyFolderTree(const char *source, const char *target);

// 1 when `folder` holds nothing.
int IsEmptyFolder(const char *folder);

// Deletes the folders below `folder` that hold no file, and `folder` too when `withTop`.
void DeleteEmptyFolders(const char *folder, int withTop);

// Deletes `folder` and everything in it.
void DeleteTree(const char *folder);

#endif
