// Generates the suite's configuration files from the template start.ini. A line that
// begins with ":%path%" starts a new output file, one that begins with "%path%" is written
// with the install directory in front of its rest, and every other line is copied as it is.
#include "config/startfile.h"

#include <stdio.h>
#include <string.h>

#include "config/linefile.h"

enum {
    // A directory of setup holds at most 199 characters; with a whole template line behind
    // it the longest text made here still fits, so nothing is ever cut.
    DirectoryLimit = 200,
    ComposedSize = DirectoryLimit + LineFileMaxLine,
    NoOutput = -1,
};

static const char FileMarker[] = ":%path%";
static const char PathMarker[] = "%path%";

// 1 when `line` begins with the lower-case `marker`, ASCII letters of the line compared
// regardless of case.
static int BeginsWithMarker(const char *line, const char *marker)
{
    for (; *marker; line++, marker++) {
        char c = *line;
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != *marker)
            return 0;
    }
    return 1;
}

// Puts `first` immediately followed by `second` into `out`; 0, or -1 when the whole text
// does not fit, so that a cut path or line is never used.
static int Compose(char *out, int size, const char *first, const char *second)
{
    int length = snprintf(out, size, "%s%s", first, second);
    return length >= 0 && length < size ? 0 : -1;
}

// The handle of the new output file, or NoOutput when it cannot be opened; the lines up to
// the next file line are then dropped.
static int OpenOutput(const char *installDir, const char *rest)
{
    char path[ComposedSize];
    if (Compose(path, sizeof path, installDir, rest) < 0)
        return NoOutput;
    int handle = LineFileOpenWrite(path);
    return handle < 0 ? NoOutput : handle;
}

// TemplateLineWritten, or TemplateLineTooLong when the line does not fit.
static int WriteDirectoryLine(int output, const char *installDir, const char *rest)
{
    char text[ComposedSize];
    if (Compose(text, sizeof text, installDir, rest) < 0)
        return TemplateLineTooLong;
    LineFileWriteLine(output, text);
    return TemplateLineWritten;
}

// Where the expansion puts the install directory (the text) and its files (the output).
struct Directories {
    const char *text;
    const char *output;
};

// Acts on one template line: returns the output file that is current afterwards and puts
// what became of the line into `fate`.
static int ExpandLine(const char *line, const Directories *dirs, int output, int *fate)
{
    switch (line[0]) {
    case '%':
        if (!BeginsWithMarker(line, PathMarker))
            *fate = TemplateLineBadMarker;
        else if (output == NoOutput)
            *fate = TemplateLineNoOutput;
        else
            *fate = WriteDirectoryLine(output, dirs->text, line + sizeof PathMarker - 1);
        return output;
    case ':':
        if (!BeginsWithMarker(line, FileMarker)) {
            *fate = TemplateLineBadMarker;
            return output;
        }
        if (output != NoOutput)
            LineFileCloseWrite(output);
        output = OpenOutput(dirs->output, line + sizeof FileMarker - 1);
        *fate = output == NoOutput ? TemplateLineNotOpened : TemplateLineOpened;
        return output;
    default:
        *fate = output == NoOutput ? TemplateLineNoOutput : TemplateLineWritten;
        if (output != NoOutput)
            LineFileWriteLine(output, line);
        return output;
    }
}

int ExpandStartFile(const char *sourceDir, const char *installDir)
{
    return ExpandStartFileTo(sourceDir, installDir, installDir, 0, 0);
}

int ExpandStartFileTo(const char *sourceDir, const char *installDir, const char *outputDir,
                      TemplateLineReport *report, void *context)
{
    Directories dirs = {installDir, outputDir};
    char templatePath[ComposedSize];
    size_t sourceLength = strlen(sourceDir);
    const char *name = sourceLength > 0 && sourceDir[sourceLength - 1] == '\\'
                           ? "start.ini" : "\\start.ini";
    if (Compose(templatePath, sizeof templatePath, sourceDir, name) < 0)
        return -1;
    int reader = LineFileOpenRead(templatePath);
    if (reader < 0)
        return -1;

    int output = NoOutput;
    // Lines of fewer than two characters at the head of the template are skipped; from the
    // first longer line on, every line counts, empty ones included.
    int started = 0;
    char line[LineFileLineBuffer];
    int length;
    int number = 0;
    while ((length = LineFileReadLine(reader, line)) >= 0) {
        int fate = TemplateLineLeading;
        number++;
        if (length >= 2 || started) {
            started = 1;
            output = ExpandLine(line, &dirs, output, &fate);
        }
        if (report)
            report(number, fate, line, context);
    }
    if (output != NoOutput)
        LineFileCloseWrite(output);
    LineFileCloseRead(reader);
    return 0;
}
