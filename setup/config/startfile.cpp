// Generates the suite's configuration files from the template start.ini. A line that
// begins with ":%path%" starts a new output file, one that begins with "%path%" is written
// with the install directory in front of its rest, and every other line is copied as it is.
#include "config/startfile.h"

#include "config/linefile.h"
#include "shell/text.h"

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

// Puts `directory` followed by `rest` into `out`, a drive's root as "X:\" and with one
// backslash between them; 0, or -1 when the whole text does not fit, so that a cut path or
// line is never used.
static int Compose(char *out, int size, const char *directory, const char *rest)
{
    int length = JoinDirectory(out, size, directory, rest);
    return length >= 0 && length < size ? 0 : -1;
}

// The output file of the lines that follow a file line: its handle, or NoOutput when it
// could not be opened, and its path for the user's message.
struct Output {
    int handle;
    int failed;  // 1 once the user was told that the file could not be written whole
    char path[ComposedSize];
};

// Opens the new output file; when it cannot be opened, the user is told and the lines up
// to the next file line are dropped.
static void OpenOutput(Output *output, const char *installDir, const char *rest)
{
    output->failed = 0;
    output->handle = NoOutput;
    if (Compose(output->path, sizeof output->path, installDir, rest) == 0)
        output->handle = LineFileOpenWrite(output->path);
    if (output->handle < 0) {
        output->handle = NoOutput;
        output->failed = 1;
        TellUnwrittenFile(output->path);
    }
}

// TemplateLineWritten, or TemplateLineTooLong when the line does not fit.
static int WriteDirectoryLine(Output *output, const char *installDir, const char *rest)
{
    char text[ComposedSize];
    if (Compose(text, sizeof text, installDir, rest) < 0)
        return TemplateLineTooLong;
    LineFileWriteOrTell(output->handle, text, output->path, &output->failed);
    return TemplateLineWritten;
}

// Where the expansion puts the install directory (the text) and its files (the output).
struct Directories {
    const char *text;
    const char *output;
};

// Acts on one template line, which may change the current output file, and puts what
// became of the line into `fate`.
static void ExpandLine(const char *line, const Directories *dirs, Output *output, int *fate)
{
    switch (line[0]) {
    case '%':
        if (!BeginsWithMarker(line, PathMarker))
            *fate = TemplateLineBadMarker;
        else if (output->handle == NoOutput)
            *fate = TemplateLineNoOutput;
        else
            *fate = WriteDirectoryLine(output, dirs->text, line + sizeof PathMarker - 1);
        return;
    case ':':
        if (!BeginsWithMarker(line, FileMarker)) {
            *fate = TemplateLineBadMarker;
            return;
        }
        if (output->handle != NoOutput)
            LineFileCloseWrite(output->handle);
        OpenOutput(output, dirs->output, line + sizeof FileMarker - 1);
        *fate = output->handle == NoOutput ? TemplateLineNotOpened : TemplateLineOpened;
        return;
    default:
        *fate = output->handle == NoOutput ? TemplateLineNoOutput : TemplateLineWritten;
        if (output->handle != NoOutput)
            LineFileWriteOrTell(output->handle, line, output->path, &output->failed);
        return;
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
    if (Compose(templatePath, sizeof templatePath, sourceDir, "\\start.ini") < 0)
        return -1;
    int reader = LineFileOpenRead(templatePath);
    if (reader < 0)
        return -1;

    Output output;
    output.handle = NoOutput;
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
            ExpandLine(line, &dirs, &output, &fate);
        }
        if (report)
            report(number, fate, line, context);
    }
    if (output.handle != NoOutput)
        LineFileCloseWrite(output.handle);
    LineFileCloseRead(reader);
    return 0;
}
