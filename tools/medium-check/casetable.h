// Names in capitals as Windows compares them, and the UTF-8 walk that it needs.
#ifndef VELTRANE_MEDIUM_CHECK_CASETABLE_H
#define VELTRANE_MEDIUM_CHECK_CASETABLE_H

#include <stddef.h>

#include <string>

// The code point that starts at `text`, and its length in `used`; a byte that starts no
// valid UTF-8 sequence stands for itself.
unsigned DecodeUtf8(const unsigned char *text, size_t left, size_t *used);

// The UTF-8 name `utf8` in capitals, as Windows takes names regardless of case: two names
// are one to Windows exactly when these are equal.
std::string CapitalName(const std::string &utf8);

#endif
