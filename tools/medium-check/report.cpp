#include <stdarg.h>
#include <stdio.h>

#include "report.h"

enum { FindingSize = 1024 };

static int Counts[2];

void Report(int severity, const char *where, int line, const char *format, ...)
{
    char text[FindingSize];
    va_list arguments;

    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    text[sizeof text - 1] = 0;
    Counts[severity]++;
    const char *label = severity == SeverityError ? "error" : "warning";
    if (line > 0)
        printf("%s:%d: %s: %s\n", where, line, label, text);
    else
        printf("%s: %s: %s\n", where, label, text);
}

int FindingCount(int severity)
{
    return Counts[severity];
}

void FormatCount(char *out, int size, unsigned long long value)
{
    char digits[24];
    int count = 0;

    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value > 0);
    int length = 0;
    while (count > 0 && length < size - 1)
        out[length++] = digits[--count];
    out[length] = 0;
}
