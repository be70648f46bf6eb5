#include <stdio.h>
#include <string.h>

#include "paths.h"

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

int SameText(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (LowerAscii(*a) != LowerAscii(*b))
            return 0;
    return *a == *b;
}

// 1 when `text` begins with `prefix`, letters compared regardless of case.
static int BeginsWithText(const char *text, const char *prefix)
{
    for (; *prefix; text++, prefix++)
        if (LowerAscii(*text) != LowerAscii(*prefix))
            return 0;
    return 1;
}

int NormalizePath(const char *path, char *out, int size)
{
    int length = 0;
    int rootLength;

    if (size < 4)
        return -1;
    // The drive and the root backslash stay; ".." never climbs above them.
    if (path[0] && path[1] == ':') {
        out[length++] = path[0];
        out[length++] = ':';
        path += 2;
    }
    if (IsSeparator(*path))
        out[length++] = '\\';
    rootLength = length;
    while (*path) {
        while (IsSeparator(*path))
            path++;
        int part = (int)strcspn(path, "\\/");
        if (part == 0)
            break;
        if (part == 1 && path[0] == '.') {
            path += part;
            continue;
        }
        if (part == 2 && path[0] == '.' && path[1] == '.') {
            while (length > rootLength && out[length - 1] != '\\')
                length--;
            if (length > rootLength)
                length--;
            path += part;
            continue;
        }
        int separator = length > rootLength ? 1 : 0;
        if (length + separator + part >= size)
            return -1;
        if (separator)
            out[length++] = '\\';
        memcpy(out + length, path, part);
        length += part;
        path += part;
    }
    out[length] = 0;
    return 0;
}

int IsInside(const char *path, const char *root)
{
    size_t rootLength = strlen(root);

    if (rootLength == 0 || !BeginsWithText(path, root))
        return 0;
    if (root[rootLength - 1] == '\\')
        return path[rootLength] != 0;
    return path[rootLength] == '\\' && path[rootLength + 1] != 0;
}

const char *RelativeTo(const char *path, const char *root)
{
    if (!IsInside(path, root))
        return path;
    size_t rootLength = strlen(root);
    return path + rootLength + (root[rootLength - 1] == '\\' ? 0 : 1);
}

int JoinPath(char *out, int size, const char *first, const char *second)
{
    size_t length = strlen(first);
    const char *separator = length > 0 && first[length - 1] == '\\' ? "" : "\\";
    int written = snprintf(out, size, "%s%s%s", first, separator, second);
    return written >= 0 && written < size ? 0 : -1;
}
