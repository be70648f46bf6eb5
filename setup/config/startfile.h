#ifndef VELTRANE_CONFIG_STARTFILE_H
#define VELTRANE_CONFIG_STARTFILE_H

// Generates the suite's configuration files into `installDir` from the template start.ini
// of `sourceDir`. Returns 0, or -1 when the template cannot be opened. A generated file
// that cannot be opened or written whole is told to the listener of ReportUnwrittenFiles.
// Directories of up to 199 characters are used whole; a path or line that would not fit
// its buffer is treated as one that cannot be opened or written.
int ExpandStartFile(const char *sourceDir, const char *installDir);

// What became of one template line.
enum TemplateLineFate {
    TemplateLineLeading,    // shorter than 2 characters, before any longer line: skipped
    TemplateLineNoOutput,   // a text or path line while no output file is open: dropped
    TemplateLineBadMarker,  // a colon or percent sign without its whole marker: dropped
    TemplateLineWritten,    // a text or path line handed to the current output file
    TemplateLineTooLong,    // a path line that does not fit the output line: dropped
    TemplateLineOpened,     // a file line whose file was opened
    TemplateLineNotOpened,  // a file line whose file could not be opened
};
// Hears of every template line, 1 for the first, right after the expansion acted on it.
typedef void TemplateLineReport(int number, int fate, const char *line, void *context);

// ExpandStartFile for tools: the files go below `outputDir` while the lines still name
// `installDir`, and `report` (unless 0) hears what became of each line.
int ExpandStartFileTo(const char *sourceDir, const char *installDir, const char *outputDir,
                      TemplateLineReport *report, void *context);

#endif
