// Windows path texts as setup composes them, compared as Windows compares them.
#ifndef VELTRANE_MEDIUM_CHECK_PATHS_H
#define VELTRANE_MEDIUM_CHECK_PATHS_H

enum {
    CheckPathSize = 1024,
    WindowsPathLimit = 260,  // MAX_PATH: a path Windows opens, the terminator included
};

// `path` with "." and ".." parts resolved, doubled separators folded and every separator
// a backslash, as Windows reads it; 0, or -1 when it does not fit.
int NormalizePath(const char *path, char *out, int size);

// 1 when the texts are equal, ASCII letters compared regardless of case.
int SameText(const char *a, const char *b);

// 1 when the normalized `path` lies below the directory `root`.
int IsInside(const char *path, const char *root);

// The part of `path` below `root`, or `path` itself when it does not lie below it.
const char *RelativeTo(const char *path, const char *root);

// "first" and "second" joined by one backslash; 0, or -1 when it does not fit.
int JoinPath(char *out, int size, const char *first, const char *second);

#endif
