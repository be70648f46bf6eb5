// brindle's command line: blanks and control characters (codes up to 0x20) separate
// arguments; a part in double quotes may hold blanks, and the quotes themselves are dropped.
#ifndef VELTRANE_BRINDLE_ARGUMENTS_H
#define VELTRANE_BRINDLE_ARGUMENTS_H

enum { ArgumentNone = -1, ArgumentTooLong = -2 };

// Copies the first argument after the program name into `argument` (`size` bytes). Returns
// its length, ArgumentNone when there is none, or ArgumentTooLong when it does not fit whole
// (then `argument` is left empty rather than cut).
int FirstArgument(const char *commandLine, char *argument, int size);

#endif
