// The findings of medium-check, printed one a line as they are found:
//   <where>:<line>: warning: <text>     (":<line>" only for a line of a file)
#ifndef VELTRANE_MEDIUM_CHECK_REPORT_H
#define VELTRANE_MEDIUM_CHECK_REPORT_H

enum Severity { SeverityWarning, SeverityError };

void Report(int severity, const char *where, int line, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

int FindingCount(int severity);

// `value` in decimal; 64-bit formats are not in every Windows runtime.
void FormatCount(char *out, int size, unsigned long long value);

#endif
