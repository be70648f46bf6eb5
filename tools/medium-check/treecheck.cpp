// The tree checks run setup's ScanTree itself and listen to what it leaves out; sizes
// come from its listing, with the real size asked for only to explain one too large.
#include <stdio.h>
#include <string.h>

#include "folders.h"
#include "install/scan.h"
#include "names.h"
#include "paths.h"
#include "platform.h"
#include "report.h"
#include "shell/pump.h"
#include "shell/state.h"
#include "treecheck.h"

enum {
    MaxListPathLength = FileListPathSize - 1,
    MaxDirectoryNameLength = 63,
    MaxSubDirectories = 128,
};

static const char *MediumDir;
static int EntriesPastFullList;
static char LastCrowdedDirectory[CheckPathSize];
static int DirectoriesPastLimit;

// The checker has no window: there is nothing for the scan's pump to do.
void PumpMessages(void)
{
}

// Reports below the medium use the list path without the medium's own path.
static void EntryPath(char *out, int size, const char *directory, const char *name,
                      const char *tail)
{
    char path[CheckPathSize];

    snprintf(path, sizeof path, "%s\\%s%s", RelativeTo(directory, MediumDir), name, tail);
    snprintf(out, size, "%s", Shown(path).c_str());
}

static void OnOmission(int omission, const char *directory, const char *name,
                       const char *tail)
{
    char where[CheckPathSize];
    char path[CheckPathSize];
    const char *kind = tail[0] ? "folder" : "file";

    // The names check reports what is neither a file nor a folder; the scan never follows
    // or opens it.
    if ((omission == ScanOmitHidden || omission == ScanOmitSystem) &&
        JoinPath(path, sizeof path, directory, name) == 0 && KindOf(path) != EntryFile &&
        KindOf(path) != EntryFolder)
        return;
    EntryPath(where, sizeof where, directory, name, tail);
    switch (omission) {
    case ScanOmitHidden:
        Report(SeverityWarning, where, 0, "hidden %s: setup-copy leaves it out%s", kind,
               tail[0] ? " with everything in it" : "");
        break;
    case ScanOmitSystem:
        Report(SeverityWarning, where, 0, "system %s: setup-copy leaves it out%s", kind,
               tail[0] ? " with everything in it" : "");
        break;
    case ScanOmitListFull:
        EntriesPastFullList++;
        break;
    case ScanOmitPathTooLong:
        Report(SeverityError, where, 0,
               "list path of %d characters; setup-copy keeps at most %d and refuses the tree",
               (int)(strlen(directory) + 1 + strlen(name) + strlen(tail)), MaxListPathLength);
        break;
    case ScanOmitTooManyDirectories:
        if (strcmp(LastCrowdedDirectory, directory) != 0) {
            snprintf(LastCrowdedDirectory, sizeof LastCrowdedDirectory, "%s", directory);
            DirectoriesPastLimit = 0;
        }
        DirectoriesPastLimit++;
        Report(SeverityError, where, 0,
               "sub-folder number %d of its folder; setup-copy takes at most %d and refuses "
               "the tree", MaxSubDirectories + DirectoriesPastLimit, MaxSubDirectories);
        break;
    case ScanOmitNameTooLong:
        Report(SeverityError, where, 0,
               "folder name of %d characters; setup-copy takes at most %d and refuses the tree",
               (int)strlen(name), MaxDirectoryNameLength);
        break;
    case ScanOmitDirectoryTooLong:
        Report(SeverityError, where, 0,
               "folder path too long for setup-copy to list; it refuses the tree");
        break;
    }
}

// A file the copy cannot take: one of 2 GiB or more, or one that cannot be read. A file
// whose path holds a name that Windows cannot take is not opened: the names check reports
// it, and the path could name another file.
static void ReportUncopiableFile(const char *sourceDir, const char *path, int size)
{
    char where[CheckPathSize];
    char bytes[24];

    if (PathHasProblem(RelativeTo(path, sourceDir)))
        return;
    snprintf(where, sizeof where, "%s", Shown(RelativeTo(path, MediumDir)).c_str());
    if (size == SizeTooLarge) {
        FormatCount(bytes, sizeof bytes, (unsigned long long)FileSize(path));
        Report(SeverityError, where, 0,
               "%s bytes; setup-copy handles files below 2 GiB (2147483648 bytes)", bytes);
    } else if (!CanReadFile(path)) {
        Report(SeverityError, where, 0, "cannot be read; setup-copy cannot copy it");
    }
}

static int IsDirectoryEntry(const char *path)
{
    size_t length = strlen(path);
    return length > 0 && path[length - 1] == '\\';
}

// setup-copy composes "<install directory>\<path below the source>"; Windows opens
// paths of fewer than MAX_PATH characters.
static void CheckTargetLength(const char *installDir, const char *sourceDir, const char *path)
{
    size_t length = strlen(installDir) + 1 + strlen(RelativeTo(path, sourceDir));

    if (IsDirectoryEntry(path))
        length--;
    if (length >= WindowsPathLimit)
        Report(SeverityError, Shown(RelativeTo(path, MediumDir)).c_str(), 0,
               "copied to a path of %d characters below %s; Windows takes at most %d",
               (int)length, Shown(installDir).c_str(), WindowsPathLimit - 1);
}

int CheckTree(const char *mediumDir, const char *sourceDir, const char *installDir)
{
    MediumDir = mediumDir;
    EntriesPastFullList = 0;
    LastCrowdedDirectory[0] = 0;
    FileCount = 0;
    FileListOverflowPath[0] = 0;
    ReportScanOmissions(OnOmission);
    ScanTree(sourceDir);
    ReportScanOmissions(0);

    if (EntriesPastFullList > 0)
        Report(SeverityError, RelativeTo(sourceDir, mediumDir), 0,
               "more than the %d entries that setup-copy can list (at least %d too many); "
               "it refuses the tree", MaxFileCount, EntriesPastFullList);
    for (int i = 0; i < FileCount; i++) {
        if (!IsDirectoryEntry(FilePaths[i]))
            ReportUncopiableFile(sourceDir, FilePaths[i], FileSizes[i]);
        CheckTargetLength(installDir, sourceDir, FilePaths[i]);
    }
    return FileListOverflowPath[0] == 0;
}

// A folder whose path holds a name that Windows cannot take is not made: the names check
// reports it, and a path made of it could name another place.
void CopyListedFolders(const char *sourceDir, const char *target)
{
    for (int i = 0; i < FileCount; i++) {
        char path[CheckPathSize];
        const char *relative = RelativeTo(FilePaths[i], sourceDir);
        if (IsDirectoryEntry(FilePaths[i]) && !PathHasProblem(relative) &&
            JoinPath(path, sizeof path, target, relative) == 0)
            MakeDirectory(path);
    }
}
