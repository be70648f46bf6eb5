#ifndef VELTRANE_INSTALL_SPACE_H
#define VELTRANE_INSTALL_SPACE_H

// Compares what the copy of the file list into the journal's install directory needs on its
// drive with the space free there, before the first byte is written; when it does not fit,
// the user decides. 1 to copy, 0 when the user chose another directory. A drive that does
// not say how much is free is copied to.
int AskWhenCopyDoesNotFit(void);

#endif
