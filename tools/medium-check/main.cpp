// medium-check: tells whoever prepares a distribution medium what setup would silently
// drop, cut or refuse on it, using setup's own line reader, start-file expansion and
// tree scan, and whether the medium holds every file that the program group's shortcuts
// name.
//
// Usage: medium-check <folder> [--copy-mode] [--install-dir DIR] [--preview OUT]
//                     [--codepage N] [--dot-files-visible] [--disc-image]
//        medium-check <folder> --same-names
//        medium-check --judge-install-dir DIR [--copy-mode] [--codepage N]
//        medium-check --code-pages
//   <folder>         the medium: where setup.exe is started
//   --copy-mode      check for setup-copy, which copies <folder>\veltrane
//   --install-dir    the install directory to check and preview for; in place, where the
//                    medium will lie when setup runs (default: <folder> itself); in copy
//                    mode, the directory chosen on the directory page (default c:\veltrane)
//   --preview OUT    writes the files that start.ini generates into OUT (new or empty,
//                    outside the medium)
//   --codepage N     the ANSI code page of the Windows that setup runs on (default 1252);
//                    --code-pages lists those it knows
//   --dot-files-visible  dot-files are ordinary entries, as in a disc image or an archive
//                    of the medium, not hidden as under Wine (no effect on Windows)
//   --disc-image     the medium becomes a disc image: names must fit its Joliet records too
//   --same-names     only reports names that Windows takes for one, at every depth of the
//                    folder (hidden entries included), as a rehearsal compares them
//   --judge-install-dir  only reports what setup refuses of DIR as the install directory,
//                    by setup's own judgement of the directory page's entry, so that the
//                    release tools judge it as setup does
// Nothing is ever written outside the scratch or preview folder, which never overlaps
// the medium.
// Exit code: 0 nothing found, 1 warnings only, 2 errors (or unusable arguments).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "folders.h"
#include "names.h"
#include "paths.h"
#include "platform.h"
#include "report.h"
#include "shortcuts.h"
#include "shell/startup.h"
#include "shell/state.h"
#include "templatecheck.h"
#include "treecheck.h"
#include "wizard/installdir.h"

enum {
    ExitClean = 0,
    ExitWarnings = 1,
    ExitErrors = 2,
    DirectoryEntryLimit = 99,  // what the directory page takes
    ProblemSize = 256,
};

static const char DefaultCopyInstallDirectory[] = "c:\\veltrane";

struct Options {
    const char *folder;
    int copyMode;
    const char *installDir;
    const char *preview;
    int codePage;
    int dotFilesVisible;
    int discImage;
    int sameNamesOnly;
    const char *judgedInstallDir;
};

static int Usage(const char *problem)
{
    fprintf(stderr, "medium-check: %s\n"
            "usage: medium-check <folder> [--copy-mode] [--install-dir DIR] [--preview OUT]\n"
            "                    [--codepage N] [--dot-files-visible] [--disc-image]\n"
            "       medium-check <folder> --same-names\n"
            "       medium-check --judge-install-dir DIR [--copy-mode] [--codepage N]\n"
            "       medium-check --code-pages\n",
            problem);
    return ExitErrors;
}

// 0; 1 when the run's work was only to list the known code pages; or -1 after reporting
// what is wrong with the arguments.
static int ReadOptions(int argc, char **argv, Options *options)
{
    memset(options, 0, sizeof *options);
    options->codePage = DefaultCodePage;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (strcmp(argument, "--copy-mode") == 0) {
            options->copyMode = 1;
        } else if (strcmp(argument, "--dot-files-visible") == 0) {
            options->dotFilesVisible = 1;
        } else if (strcmp(argument, "--disc-image") == 0) {
            options->discImage = 1;
        } else if (strcmp(argument, "--same-names") == 0) {
            options->sameNamesOnly = 1;
        } else if (strcmp(argument, "--judge-install-dir") == 0 && i + 1 < argc) {
            options->judgedInstallDir = argv[++i];
        } else if (strcmp(argument, "--install-dir") == 0 && i + 1 < argc) {
            options->installDir = argv[++i];
        } else if (strcmp(argument, "--preview") == 0 && i + 1 < argc) {
            options->preview = argv[++i];
        } else if (strcmp(argument, "--codepage") == 0 && i + 1 < argc) {
            const char *value = argv[++i];
            // Only a whole number that names an ANSI code page of Windows: "932x" is none.
            if (!IsKnownCodePage(value)) {
                fprintf(stderr, "medium-check: --codepage %s: not an ANSI code page of "
                        "Windows; known: %s\n", value, KnownCodePages);
                return -1;
            }
            options->codePage = atoi(value);
        } else if (strcmp(argument, "--code-pages") == 0) {
            printf("%s\n", KnownCodePages);
            return 1;
        } else if (argument[0] == '-' && argument[1] == '-') {
            Usage("unknown option or missing value");
            return -1;
        } else if (options->folder) {
            Usage("more than one folder");
            return -1;
        } else {
            options->folder = argument;
        }
    }
    if (!options->folder && !options->judgedInstallDir) {
        Usage("no folder");
        return -1;
    }
    return 0;
}

// A directory that setup's directory page refuses: not a full path, or a folder name that
// Windows cannot make (a device's, a forbidden character, a trailing dot or blank). In place
// no such folder can hold the medium either.
static void CheckSetupJudgement(const char *installDir)
{
    char message[CheckPathSize + ProblemSize];

    if (JudgeInstallDirectory(installDir, message, sizeof message) == 0)
        return;
    // The advice after the first line is the page's.
    message[strcspn(message, "\n")] = 0;
    Report(SeverityError, Shown(installDir).c_str(), 0, "%s", Shown(message).c_str());
}

// In place the medium's folder is the install directory: setup refuses a blank in it and
// a path that does not fit its current-directory buffer. One named on the command line is
// judged as the directory page judges an entry, too.
static void CheckInPlaceDirectory(const char *installDir, int named)
{
    std::string shown = Shown(installDir);

    if (named)
        CheckSetupJudgement(installDir);

    if (strchr(installDir, ' '))
        Report(SeverityError, shown.c_str(), 0,
               "setup refuses to install in place in a folder whose path holds a blank");
    if (strlen(installDir) >= SourceDirectoryLimit)
        Report(SeverityError, shown.c_str(), 0,
               "path of %d characters; setup runs from folders of at most %d",
               (int)strlen(installDir), SourceDirectoryLimit - 1);
}

// The directory page refuses a blank and takes 99 characters; the wizard then drops one
// trailing backslash.
static void CheckCopyInstallDirectory(char *installDir)
{
    size_t length = strlen(installDir);
    std::string shown = Shown(installDir);

    CheckSetupJudgement(installDir);
    if (strchr(installDir, ' '))
        Report(SeverityError, shown.c_str(), 0,
               "the directory page refuses an install directory that holds a blank");
    if (length > DirectoryEntryLimit)
        Report(SeverityError, shown.c_str(), 0,
               "%d characters; the directory page takes at most %d", (int)length,
               DirectoryEntryLimit);
    if (length >= 2 && installDir[length - 1] == '\\')
        installDir[length - 1] = 0;
}

// 1 when the folders overlap, one being the other or lying below it, or when that cannot
// be told; 0 when they are apart.
static int Overlap(const char *a, const char *b)
{
    return FolderWithin(a, b) != 0 || FolderWithin(b, a) != 0;
}

// The scratch folder, made where no part of the medium is. 0, or -1 after reporting why not.
static int PrepareScratch(const char *mediumDir, char *outputDir, int size)
{
    char parent[CheckPathSize];
    char problem[ProblemSize];

    if (TemporaryFolder(parent, sizeof parent) < 0 || !IsDirectory(parent)) {
        SystemProblem(problem, sizeof problem);
        fprintf(stderr, "medium-check: cannot find the folder for scratch work (TMPDIR, on "
                "Windows TMP): %s\n", problem);
        return -1;
    }
    std::string shown = Shown(parent);
    int within = FolderWithin(parent, mediumDir);
    if (within < 0) {
        SystemProblem(problem, sizeof problem);
        fprintf(stderr, "medium-check: cannot tell whether the folder for scratch work %s "
                "lies in the medium: %s\n", shown.c_str(), problem);
        return -1;
    }
    if (within) {
        fprintf(stderr, "medium-check: the folder for scratch work %s lies in the medium, "
                "which medium-check never writes into; set TMPDIR (on Windows TMP) to a "
                "folder outside it\n", shown.c_str());
        return -1;
    }
    if (MakeScratchFolder(parent, outputDir, size) < 0) {
        SystemProblem(problem, sizeof problem);
        fprintf(stderr, "medium-check: cannot make a scratch folder in %s (TMPDIR, on Windows "
                "TMP): %s\n", shown.c_str(), problem);
        return -1;
    }
    if (Overlap(outputDir, mediumDir)) {
        DeleteDirectory(outputDir);
        fprintf(stderr, "medium-check: the scratch folder %s overlaps the medium\n",
                Shown(outputDir).c_str());
        return -1;
    }
    return 0;
}

// The folder that `path` lies in: its text up to the last backslash.
static void ParentOf(const char *path, char *parent, int size)
{
    snprintf(parent, size, "%s", path);
    char *separator = strrchr(parent, '\\');
    if (separator && separator > parent && separator[-1] != ':')
        *separator = 0;
    else if (separator)
        separator[1] = 0;
}

// The preview folder, new or empty. It is compared with the medium by identity before it
// is made (its parent) and after (itself), whatever path, link or case named it. 0, or
// -1 after reporting why not.
static int PreparePreview(const char *preview, const char *mediumDir, char *outputDir,
                          int size)
{
    char parent[CheckPathSize];
    char problem[ProblemSize];
    int made;

    int resolved = FullWindowsPath(preview, outputDir, size);
    if (resolved == -2) {
        fprintf(stderr, "medium-check: the preview folder %s goes through '..' after a folder "
                "that does not exist, which no real path does; nothing is made\n", preview);
        return -1;
    }
    if (resolved < 0) {
        SystemProblem(problem, sizeof problem);
        fprintf(stderr, "medium-check: cannot make the preview folder %s: %s\n", preview,
                problem);
        return -1;
    }
    // Longer, it would not fit where setup composes the paths of the generated files.
    if (strlen(outputDir) >= PathBufferSize) {
        fprintf(stderr, "medium-check: the preview folder's path is too long; nothing is made\n");
        return -1;
    }
    ParentOf(outputDir, parent, sizeof parent);
    if (!IsDirectory(outputDir) && !IsDirectory(parent)) {
        fprintf(stderr, "medium-check: cannot make the preview folder %s: its parent is not "
                "a folder\n", preview);
        return -1;
    }
    if (IsDirectory(outputDir) ? Overlap(outputDir, mediumDir)
                               : FolderWithin(parent, mediumDir) != 0) {
        fprintf(stderr, "medium-check: the preview folder %s lies in the medium, which "
                "medium-check never writes into\n", preview);
        return -1;
    }
    made = MakeDirectory(outputDir);
    if (made < 0) {
        SystemProblem(problem, sizeof problem);
        fprintf(stderr, "medium-check: cannot make the preview folder %s: %s\n", preview,
                problem);
        return -1;
    }
    if (Overlap(outputDir, mediumDir)) {
        if (made == 0)
            DeleteDirectory(outputDir);
        fprintf(stderr, "medium-check: the preview folder %s lies in the medium, which "
                "medium-check never writes into\n", preview);
        return -1;
    }
    if (!IsEmptyFolder(outputDir)) {
        fprintf(stderr, "medium-check: the preview folder %s is not empty\n", preview);
        return -1;
    }
    return 0;
}

static int ExitCode(void)
{
    int errors = FindingCount(SeverityError);
    int warnings = FindingCount(SeverityWarning);

    printf("%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
           warnings == 1 ? "" : "s");
    if (errors > 0)
        return ExitErrors;
    return warnings > 0 ? ExitWarnings : ExitClean;
}

int main(int argc, char **argv)
{
    Options options;
    char mediumDir[CheckPathSize];
    char sourceDir[CheckPathSize];
    char installDir[CheckPathSize];
    char outputDir[CheckPathSize];
    char templateName[CheckPathSize];
    int treeCopied = 1;

    int read = ReadOptions(argc, argv, &options);
    if (read != 0)
        return read > 0 ? ExitClean : ExitErrors;
    if (options.dotFilesVisible)
        ShowDotFiles();
    if (options.discImage)
        JudgeForDiscImage();
    if (ChooseCodePage(options.codePage) < 0) {
        fprintf(stderr, "medium-check: code page %d has no conversion on this system\n",
                options.codePage);
        return ExitErrors;
    }
    if (options.judgedInstallDir) {
        if (ArgumentToWindows(options.judgedInstallDir, installDir, sizeof installDir) < 0) {
            fprintf(stderr, "medium-check: code page %d cannot spell the install directory %s\n",
                    options.codePage, options.judgedInstallDir);
            return ExitErrors;
        }
        if (options.copyMode)
            CheckCopyInstallDirectory(installDir);
        else
            CheckInPlaceDirectory(installDir, 1);
        return ExitCode();
    }
    if (FullWindowsPath(options.folder, mediumDir, sizeof mediumDir) < 0 ||
        !IsDirectory(mediumDir)) {
        fprintf(stderr, "medium-check: %s is not a folder, or code page %d cannot spell its "
                "path\n", options.folder, options.codePage);
        return ExitErrors;
    }
    if (options.sameNamesOnly) {
        CheckSameNames(mediumDir);
        return ExitCode();
    }
    ComposeSourceDirectory(sourceDir, sizeof sourceDir, mediumDir, !options.copyMode);
    const char *defaultInstall = options.copyMode ? DefaultCopyInstallDirectory : mediumDir;
    // Setup counts the install directory in the code page's bytes, as every path below it.
    if (!options.installDir) {
        snprintf(installDir, sizeof installDir, "%s", defaultInstall);
    } else if (ArgumentToWindows(options.installDir, installDir, sizeof installDir) < 0) {
        fprintf(stderr, "medium-check: code page %d cannot spell the install directory %s\n",
                options.codePage, options.installDir);
        return ExitErrors;
    }
    printf("%s: %s, installing into %s\n", Shown(mediumDir).c_str(),
           options.copyMode ? "copy mode" : "in place", Shown(installDir).c_str());

    if (options.copyMode) {
        if (strlen(mediumDir) >= SourceDirectoryLimit)
            Report(SeverityError, Shown(mediumDir).c_str(), 0,
                   "path of %d characters; setup-copy runs from folders of at most %d",
                   (int)strlen(mediumDir), SourceDirectoryLimit - 1);
        CheckCopyInstallDirectory(installDir);
        if (!IsDirectory(sourceDir)) {
            Report(SeverityError, RelativeTo(sourceDir, mediumDir), 0,
                   "missing: setup-copy finds nothing to copy");
            return ExitCode();
        }
        treeCopied = CheckTree(mediumDir, sourceDir, installDir);
        CheckNames(sourceDir, RelativeTo(sourceDir, mediumDir), 0);
    } else {
        CheckInPlaceDirectory(installDir, options.installDir != 0);
        CheckNames(mediumDir, "", installDir);
    }
    CheckShortcuts(mediumDir, sourceDir);

    int prepared = options.preview
                       ? PreparePreview(options.preview, mediumDir, outputDir, sizeof outputDir)
                       : PrepareScratch(mediumDir, outputDir, sizeof outputDir);
    if (prepared < 0)
        return ExitErrors;
    // The generated files find the folders that the install directory would hold.
    if (!options.copyMode)
        CopyFolderTree(sourceDir, outputDir);
    else if (treeCopied)
        CopyListedFolders(sourceDir, outputDir);
    JoinPath(templateName, sizeof templateName, RelativeTo(sourceDir, mediumDir), "start.ini");
    CheckTemplate(sourceDir, installDir, outputDir,
                  options.copyMode ? templateName : "start.ini", treeCopied);
    if (options.preview && !treeCopied)
        printf("medium-check: nothing in the preview: setup-copy refuses the tree, so it makes "
               "no install directory and creates no file\n");
    if (options.preview)
        DeleteEmptyFolders(outputDir, 0);
    else
        DeleteTree(outputDir);
    return ExitCode();
}
