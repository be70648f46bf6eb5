// The judgement of the install-directory page's entry, kept apart from the page so that it
// can be tried on its own: only a full path on a drive, whose every folder name Windows can
// make, becomes the install directory.
#ifndef VELTRANE_WIZARD_INSTALLDIR_H
#define VELTRANE_WIZARD_INSTALLDIR_H

// 0 when `entry` is a drive letter, a colon and a backslash followed by folder names (one
// final backslash allowed); otherwise -1 with the message that names the entry and what is
// wrong with it in `message` (`size` bytes). Blanks are the page's own concern.
int JudgeInstallDirectory(const char *entry, char *message, int size);

#endif
