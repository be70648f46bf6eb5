// Fuzzes the line reader: any bytes must give the lines and the line-end mode of the
// model, and writing those lines back must give them with the mode's line ends.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "config/linefile.h"
#include "model.h"
#include "scratch.h"

static void Fail(const char *what, const std::string &expected, const std::string &got)
{
    fprintf(stderr, "%s\nexpected: %s\ngot:      %s\n", what, expected.c_str(), got.c_str());
    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &folder = FuzzScratchFolder();
    std::string input = folder + "/input";
    std::string output = folder + "/output";
    std::string bytes((const char *)data, size);
    WriteWholeFile(input, bytes);

    int writer = LineFileOpenWrite(output.c_str());  // also sets CR LF
    if (writer < 0)
        Fail("cannot open the output", "a handle", std::to_string(writer));
    ModelRead model = ModelReadLines(bytes, LineEndCrLf, LineFileBufferSize);

    int reader = LineFileOpenRead(input.c_str());
    if (reader < 0)
        Fail("cannot open the input", "a handle", std::to_string(reader));
    std::string expectedOutput;
    const char *ends[] = {"\r\n", "\n", "\r"};
    for (size_t n = 0;; n++) {
        char line[LineFileLineBuffer + 1];
        memset(line, 0x5a, sizeof line);
        int length = LineFileReadLine(reader, line);
        if (length == -2) {
            if (n != model.lines.size())
                Fail("line count", std::to_string(model.lines.size()), std::to_string(n));
            break;
        }
        if (length < 0 || length > LineFileMaxLine || line[length] != 0 || line[LineFileLineBuffer] != 0x5a)
            Fail("line result", "0..190 and a NUL in the buffer", std::to_string(length));
        if (n >= model.lines.size() || model.lines[n] != std::string(line, length))
            Fail("line text", n < model.lines.size() ? model.lines[n] : "(no line)",
                 std::string(line, length));
        LineFileWriteLine(writer, line);
        expectedOutput += CText(model.lines[n]) + ends[model.mode];
    }
    char line[LineFileLineBuffer];
    if (LineFileReadLine(reader, line) != -2)
        Fail("read after the end", "-2", "a line");
    if (LineFileLineEndMode() != model.mode)
        Fail("line-end mode", std::to_string(model.mode), std::to_string(LineFileLineEndMode()));
    LineFileCloseRead(reader);
    LineFileCloseWrite(writer);
    if (ReadWholeFile(output) != expectedOutput)
        Fail("written lines", expectedOutput, ReadWholeFile(output));
    return 0;
}
