#include "arguments.h"

static int IsSeparator(unsigned char c) { return c <= 0x20; }

// Walks over one argument starting at `text`; copies it, without its quotes, into
// `argument` when that is given. Returns the position after it; `length` receives the
// length of the argument as it would be copied.
static const char *ScanArgument(const char *text, char *argument, int size, int *length)
{
    int inQuotes = 0;
    int count = 0;
    for (; *text && (inQuotes || !IsSeparator((unsigned char)*text)); text++) {
        if (*text == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (argument && count < size - 1)
            argument[count] = *text;
        count++;
    }
    *length = count;
    return text;
}

static const char *SkipSeparators(const char *text)
{
    while (*text && IsSeparator((unsigned char)*text))
        text++;
    return text;
}

int FirstArgument(const char *commandLine, char *argument, int size)
{
    int length;
    const char *text = SkipSeparators(commandLine);
    text = SkipSeparators(ScanArgument(text, 0, 0, &length));
    argument[0] = 0;
    if (!*text)
        return ArgumentNone;
    ScanArgument(text, argument, size, &length);
    if (length >= size) {
        argument[0] = 0;
        return ArgumentTooLong;
    }
    argument[length] = 0;
    return length;
}
