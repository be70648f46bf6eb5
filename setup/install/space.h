#ifndef VELTRANE_INSTALL_SPACE_H
#define VELTRANE_INSTALL_SPACE_H

// Compares what the copy of the file list into the journal's install directory needs on its
// drive with the space free there, before the first byte is written; when it does not fit,
// the user decides. 1 to copy, 0 when the user chose another directory. A drive that does
// not say how much is free is copied to.
int AskWhenCopyDoesNotFit(void);

// The clusters of `clusterBytes` that a file of `size` bytes takes (a size below 0, a
// file of 2 GiB or more, counts as 2 GiB).
unsigned long long FileClusters(int size, unsigned long clusterBytes);

#endif
