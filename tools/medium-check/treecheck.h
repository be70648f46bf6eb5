// The copy-mode tree as setup-copy lists it: setup's own scan, with everything it leaves
// out or refuses reported.
#ifndef VELTRANE_MEDIUM_CHECK_TREECHECK_H
#define VELTRANE_MEDIUM_CHECK_TREECHECK_H

// Scans `sourceDir` as setup-copy does and reports every entry left out, every limit
// passed and every copy whose target below `installDir` is too long for Windows; reports
// name paths below `mediumDir`. Returns 1 when setup-copy would copy the tree, 0 when it
// would refuse it. The file list stays filled.
int CheckTree(const char *mediumDir, const char *sourceDir, const char *installDir);

// Makes below `target` the folders that setup-copy makes from the file list.
void CopyListedFolders(const char *sourceDir, const char *target);

#endif
