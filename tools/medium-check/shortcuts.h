// The program group's shortcuts against the medium: a shortcut whose program or help file
// is not installed opens nothing when it is clicked.
#ifndef VELTRANE_MEDIUM_CHECK_SHORTCUTS_H
#define VELTRANE_MEDIUM_CHECK_SHORTCUTS_H

// Warns, once per file, about each file that the shortcuts name and `sourceDir` (the tree
// that becomes the install directory) lacks; reports name it below `mediumDir`.
void CheckShortcuts(const char *mediumDir, const char *sourceDir);

#endif
