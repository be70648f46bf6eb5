// Texts of the ANSI code page: bounded formatting, and the walks by character that a
// double-byte code page needs, where the second byte of a character may be 0x5C, the
// backslash. Built for every target, so that the config files compile everywhere.
#ifndef VELTRANE_SHELL_TEXT_H
#define VELTRANE_SHELL_TEXT_H

#include <stdarg.h>

// Formats into `out` (size at least 1) and always ends it in a NUL; a text that does not
// fit is cut before the first character that does not fit whole. Returns the length of
// the whole text, so that a result of `size` or more says it was cut. Takes "%s" and
// "%%"; any other byte is copied as it stands.
int FormatText(char *out, int size, const char *format, ...);
int FormatTextList(char *out, int size, const char *format, va_list arguments);

// The length of the character at `text`: 2 for a lead byte with its second byte, else 1.
int CharacterLength(const char *text);

// 1 when the last character of `text` is a backslash (not the second byte of one).
int EndsInBackslash(const char *text);

// Puts `rest` after `directory` into `out` as FormatText does, so that no separator is
// doubled or lost: a drive's root, spelled "X:" or "X:\", stands as "X:\" (a bare "X:" is
// that drive's current folder), and a `rest` that begins with a backslash gives it up after
// a directory that ends in one. ("C:", "") is "C:\", ("D:\", "\a.cfg") is "D:\a.cfg".
int JoinDirectory(char *out, int size, const char *directory, const char *rest);

// The first `length` bytes of `text` without a last lead byte that lost its second byte
// when the text was cut to fit its buffer.
int WholeCharactersLength(const char *text, int length);
// Cuts such a lead byte off a text.
void DropSplitCharacter(char *text);

// 1 when `byte` starts a character of two bytes in the ANSI code page in use.
int IsLeadByte(char byte);

#ifndef _WIN32
// Elsewhere the code page is whatever the program says, single-byte (1252) at the start:
// 932, 936, 949 and 950 are the double-byte ones.
void UseCodePage(int codePage);
#endif

#endif
