// Stand-in for the Windows runtime's <share.h> on POSIX: opens a Windows path read-only.
#ifndef VELTRANE_MEDIUM_CHECK_POSIX_SHARE_H
#define VELTRANE_MEDIUM_CHECK_POSIX_SHARE_H

#define _SH_DENYNO 0x40

int _sopen(const char *path, int flags, int share, ...);

#endif
