#ifndef VELTRANE_SHELL_STARTUP_H
#define VELTRANE_SHELL_STARTUP_H

// The source directory for a current directory: unchanged in place; in copy mode with
// "\veltrane" appended (the backslash only when it is missing).
void ComposeSourceDirectory(char *source, int size, const char *currentDirectory,
                            int inPlace);

#endif
