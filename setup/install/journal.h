// What the copy changed in the install directory, so that a copy that does not finish can
// be undone. Every file the copy replaces is first moved aside (a rename on the same drive)
// into one folder of kept copies in the install directory, so that its old bytes survive
// even when setup is killed; the files and folders the copy makes are noted in CopyJournal.
#ifndef VELTRANE_INSTALL_JOURNAL_H
#define VELTRANE_INSTALL_JOURNAL_H

// The folder of kept copies, in the install directory: it mirrors the tree below it.
#define KeptFolderName "~setup-kept"

// Starts the journal of a copy of the list paths below `source` (`sourceLength` bytes)
// into `install`; whether this run made `install` is kept as it was.
void StartCopyJournal(const char *install, int sourceLength);

// The install-directory path of list entry `entry` into `target` (`size` bytes).
void JournalTarget(int entry, char *target, int size);

// Moves the existing file `target` of list entry `entry` into the kept copies; 0, or -1
// when it could not be moved (it is then left as it was).
int KeepAside(int entry, const char *target);

// The copy finished: the copies it kept are deleted. 0, or -1 when some could not be.
int CommitCopy(void);

// The copy did not finish: the kept copies go back in place, and the files and folders the
// copy made are removed (the install directory too when this run made it). 0, or -1 when
// some kept copy could not be put back; it stays in the kept copies' folder.
int RollBackCopy(void);

// Puts back what an interrupted run left in `install`'s kept copies. Returns the number of
// files put back (0 when there was nothing), or -1 when some could not be.
int RestoreKeptCopies(const char *install);

#endif
