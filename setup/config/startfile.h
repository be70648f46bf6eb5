#ifndef VELTRANE_CONFIG_STARTFILE_H
#define VELTRANE_CONFIG_STARTFILE_H

// Generates the suite's configuration files into `installDir` from the template start.ini
// of `sourceDir`. Returns 0, or -1 when the template cannot be opened. Reports nothing.
// Directories of up to 199 characters are used whole; a path or line that would not fit
// its buffer is treated as one that cannot be opened or written.
int ExpandStartFile(const char *sourceDir, const char *installDir);

#endif
