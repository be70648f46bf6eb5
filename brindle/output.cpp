#include "output.h"

static OutputWrite *Write;
static int WriteEachLine;
static char Buffer[OutputBufferSize];
static int BufferFill;

void UseOutput(OutputWrite *write, int eachLine)
{
    Write = write;
    WriteEachLine = eachLine;
    BufferFill = 0;
}

void FlushOutput(void)
{
    if (Write && BufferFill > 0)
        Write(Buffer, BufferFill);
    BufferFill = 0;
}

void WriteText(const char *text)
{
    if (!Write)
        return;
    for (; *text; text++) {
        Buffer[BufferFill++] = *text;
        if (BufferFill == OutputBufferSize)
            FlushOutput();
    }
}

void EndLine(void)
{
    WriteText("\r\n");
    if (WriteEachLine)
        FlushOutput();
}
