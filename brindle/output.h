// brindle's message lines, gathered in a buffer of 128 bytes and handed on in pieces of at
// most that size: when the buffer is full, at each line's end on a console, and at the end.
// Plain bytes only, so that it builds anywhere.
#ifndef VELTRANE_BRINDLE_OUTPUT_H
#define VELTRANE_BRINDLE_OUTPUT_H

enum { OutputBufferSize = 128 };

// Hands `count` bytes (1 to OutputBufferSize) to the output; its outcome is not looked at.
typedef void OutputWrite(const char *bytes, int count);

// Where the lines go from now on, the buffer emptied; `write` 0 drops them. `eachLine` 1
// hands each line on at its end, as a console shows it at once.
void UseOutput(OutputWrite *write, int eachLine);
void WriteText(const char *text);
void EndLine(void);
// Hands on what the buffer holds.
void FlushOutput(void);

#endif
