// The expansion is setup's ExpandStartFileTo; this file only listens to what became of
// each line and explains it. The line file reads nothing but the template and writes
// nothing but paths below the output folder, so that no template can make the checker
// write into the medium or anywhere else.
#include <stdio.h>
#include <string.h>

#include "config/linefile.h"
#include "config/startfile.h"
#include "names.h"
#include "paths.h"
#include "platform.h"
#include "report.h"
#include "templatecheck.h"

enum {
    MarkerLength = 7,       // ":%path%"
    MaxRememberedFiles = 512,
};

// What the last file line left current; the lines after a file that is not checked
// (outside the install directory, or a name Windows cannot take) are not reported.
enum OutputState { NoFileLineYet, OutputOpen, OutputNotOpened, OutputNotChecked };

struct TemplateCheck {
    const char *sourceDir;
    const char *installDir;
    const char *outputDir;
    const char *where;
    int installMade;  // 0 when setup-copy refuses the tree and so makes no install directory
    char templatePath[CheckPathSize];
    int outputState;
    int fileLine;  // the last file line
    int rememberedCount;
    char remembered[MaxRememberedFiles][LineFileLineBuffer];
    int rememberedLine[MaxRememberedFiles];
};

static TemplateCheck Check;

static int MapGuarded(const char *path, int forWriting, char *mapped, int size)
{
    char normal[CheckPathSize];

    if (NormalizePath(path, normal, sizeof normal) < 0 || (forWriting && !Check.installMade))
        return -1;
    if (forWriting ? !IsInside(normal, Check.outputDir) : !SameText(normal, Check.templatePath))
        return -1;
    // Only a regular template is read: opening a FIFO or a device waits or never ends.
    if (!forWriting && KindOf(normal) != EntryFile)
        return -1;
    return LocalPath(normal, mapped, size);
}

// Remembers the output file of a file line; the line of an earlier file line that
// started the same file, or 0.
static int RememberFile(const char *relative, int number)
{
    for (int i = 0; i < Check.rememberedCount; i++)
        if (SameText(Check.remembered[i], relative))
            return Check.rememberedLine[i];
    if (Check.rememberedCount < MaxRememberedFiles) {
        snprintf(Check.remembered[Check.rememberedCount], LineFileLineBuffer, "%s", relative);
        Check.rememberedLine[Check.rememberedCount++] = number;
    }
    return 0;
}

// Why the file that `output` names could not be created.
static void ExplainNotOpened(int number, const char *shown, const char *output)
{
    char folder[CheckPathSize];
    char medium[CheckPathSize];

    snprintf(folder, sizeof folder, "%s", output);
    char *lastSeparator = strrchr(folder, '\\');
    if (lastSeparator)
        *lastSeparator = 0;
    const char *relative = RelativeTo(folder, Check.outputDir);
    if (IsDirectory(folder) || relative == folder) {
        Report(SeverityError, Check.where, number, "setup cannot create %s", shown);
    } else if (JoinPath(medium, sizeof medium, Check.sourceDir, relative) == 0 &&
               IsDirectory(medium)) {
        Report(SeverityError, Check.where, number,
               "setup cannot create %s: its folder %s is not copied", shown, relative);
    } else {
        Report(SeverityError, Check.where, number,
               "setup cannot create %s: its folder %s does not exist in the medium", shown,
               relative);
    }
}

static void OnFileLine(int number, int fate, const char *line)
{
    char shown[CheckPathSize];
    char composed[CheckPathSize];
    char output[CheckPathSize];
    const char *rest = line + MarkerLength;

    snprintf(shown, sizeof shown, "%s%s", Check.installDir, rest);
    Check.fileLine = number;
    if (snprintf(composed, sizeof composed, "%s%s", Check.outputDir, rest) >=
            (int)sizeof composed ||
        NormalizePath(composed, output, sizeof output) < 0 || SameText(output, Check.outputDir)) {
        Check.outputState = OutputNotOpened;
        Report(SeverityError, Check.where, number,
               "names %s, which is not a file in the install directory", shown);
        return;
    }
    if (!IsInside(output, Check.outputDir)) {
        Check.outputState = OutputNotChecked;
        Report(SeverityWarning, Check.where, number,
               "%s lies outside the install directory%s; not checked", shown,
               rest[0] == '\\' ? "" : " (no backslash after the marker)");
        return;
    }
    if (CheckGeneratedName(Check.where, number, shown, rest) > 0) {
        Check.outputState = OutputNotChecked;
        return;
    }
    // setup opens the path as it composes it, and Windows takes fewer than MAX_PATH.
    if (strlen(shown) >= WindowsPathLimit) {
        Check.outputState = OutputNotOpened;
        Report(SeverityError, Check.where, number,
               "setup cannot create %s: a path of %d characters; Windows takes at most %d",
               shown, (int)strlen(shown), WindowsPathLimit - 1);
        return;
    }
    // A longer output folder than the install directory may not fit this system's paths.
    if (fate == TemplateLineNotOpened && strlen(output) >= (size_t)LocalPathLimit()) {
        Check.outputState = OutputNotChecked;
        Report(SeverityWarning, Check.where, number,
               "%s not checked: its path in %s is too long for this system", shown,
               Check.outputDir);
        return;
    }
    // The refused tree, reported already, is why: no install directory, no file.
    if (fate == TemplateLineNotOpened && !Check.installMade) {
        Check.outputState = OutputNotChecked;
        return;
    }
    if (fate == TemplateLineNotOpened) {
        Check.outputState = OutputNotOpened;
        ExplainNotOpened(number, shown, output);
        return;
    }
    Check.outputState = OutputOpen;
    int earlier = RememberFile(RelativeTo(output, Check.outputDir), number);
    if (earlier)
        Report(SeverityWarning, Check.where, number,
               "starts %s again: what line %d started is lost", shown, earlier);
}

static void OnDroppedLine(int number, const char *line)
{
    if (!line[0] || Check.outputState == OutputNotChecked)
        return;
    if (Check.outputState == OutputNotOpened)
        Report(SeverityWarning, Check.where, number,
               "dropped: the file of line %d cannot be created", Check.fileLine);
    else
        Report(SeverityWarning, Check.where, number,
               "dropped: it comes before the first file line (:%%path%%...)");
}

// Setup's line ends at a NUL byte: the rest of a text line is lost, and a file line names
// the file that its text before the NUL spells.
static void CheckNulByte(int number, const char *line)
{
    int length = LineFileLastLineLength();
    // A cut line keeps its first 190 bytes, or 189 when the cut splits a character.
    int kept = length > LineFileMaxLine ? LineFileMaxLine - 1 : length;
    int before = (int)strlen(line);

    if (before < kept)
        Report(SeverityError, Check.where, number, "a NUL byte in column %d: setup ends "
               "the line there%s", before + 1, line[0] == ':' ? " and creates the file that "
               "the text before it names" : " and loses the rest");
}

static void OnTemplateLine(int number, int fate, const char *line, void *)
{
    switch (fate) {
    case TemplateLineLeading:
    case TemplateLineNoOutput:
        OnDroppedLine(number, line);
        return;
    case TemplateLineWritten:
        // Written here, but setup could not open a path that long.
        if (Check.outputState == OutputNotOpened)
            OnDroppedLine(number, line);
        break;
    case TemplateLineBadMarker:
        Report(SeverityWarning, Check.where, number,
               "dropped: it begins with '%c' but not with \"%s\"", line[0],
               line[0] == ':' ? ":%path%" : "%path%");
        return;
    case TemplateLineTooLong:
        Report(SeverityWarning, Check.where, number,
               "dropped: with the install directory in front it is too long to write");
        break;
    case TemplateLineOpened:
    case TemplateLineNotOpened:
        OnFileLine(number, fate, line);
        break;
    }
    CheckNulByte(number, line);
    if (LineFileLastLineLength() > LineFileMaxLine)
        Report(SeverityWarning, Check.where, number,
               "cut: the line has %d characters; setup keeps the first %d",
               LineFileLastLineLength(), LineFileMaxLine);
}

int CheckTemplate(const char *sourceDir, const char *installDir, const char *outputDir,
                  const char *where, int installMade)
{
    char templatePath[CheckPathSize];

    Check.sourceDir = sourceDir;
    Check.installDir = installDir;
    Check.outputDir = outputDir;
    Check.where = where;
    Check.installMade = installMade;
    Check.outputState = NoFileLineYet;
    Check.fileLine = 0;
    Check.rememberedCount = 0;
    if (JoinPath(templatePath, sizeof templatePath, sourceDir, "start.ini") < 0 ||
        NormalizePath(templatePath, Check.templatePath, sizeof Check.templatePath) < 0)
        Check.templatePath[0] = 0;

    LineFileMapPaths(MapGuarded);
    int result = ExpandStartFileTo(sourceDir, installDir, outputDir, OnTemplateLine, 0);
    LineFileMapPaths(0);
    if (result < 0)
        Report(SeverityError, where, 0,
               "missing or unreadable: setup generates no configuration files");
    return result;
}
