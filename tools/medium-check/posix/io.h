// Stand-in for the Windows runtime's <io.h> on POSIX, for setup's file size probe.
// Positions are 32-bit as on Windows: one past 2 GiB - 1 fails.
#ifndef VELTRANE_MEDIUM_CHECK_POSIX_IO_H
#define VELTRANE_MEDIUM_CHECK_POSIX_IO_H

#define _O_RDONLY 0
#define _O_BINARY 0

long _lseek(int handle, long offset, int origin);
long _tell(int handle);
int _close(int handle);

#endif
