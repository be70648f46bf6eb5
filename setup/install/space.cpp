// The space check of copy mode. Every file of the list is counted whole, also those that
// replace one: their old copies stay on the drive until the whole copy succeeded. Each
// folder the copy makes takes a cluster.
#include <windows.h>
#include <string.h>

#include "install/journal.h"
#include "install/space.h"
#include "shell/msgbox.h"
#include "shell/state.h"
#include "shell/text.h"

enum { CountTextSize = 24 };

// The clusters that a file of `size` bytes takes; a file of 2 GiB or more, listed with a
// size below 0, counts as 2 GiB.
static unsigned long long FileClusters(int size, unsigned long clusterBytes)
{
    unsigned long long bytes = size < 0 ? 0x80000000ull : (unsigned long long)size;

    return (bytes + clusterBytes - 1) / clusterBytes;
}

// A folder that is there already costs nothing; in a folder this run made, none is.
static int FolderIsMissing(int entry)
{
    char target[PathBufferSize + FileListPathSize];

    if (CopyJournal.installMade)
        return 1;
    JournalTarget(entry, target, sizeof target);
    target[strlen(target) - 1] = '\0';
    return GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES;
}

static unsigned long long ClustersNeeded(unsigned long clusterBytes)
{
    unsigned long long clusters = 0;

    for (int entry = 0; entry < FileCount; entry++) {
        if (EndsInBackslash(FilePaths[entry]))
            clusters += FolderIsMissing(entry);
        else
            clusters += FileClusters(FileSizes[entry], clusterBytes);
    }
    return clusters;
}

static void FormatCount(char *out, int size, unsigned long long value)
{
    char digits[CountTextSize];
    int at = sizeof digits - 1;

    digits[at] = '\0';
    do {
        digits[--at] = (char)('0' + value % 10);
        value /= 10;
    } while (value && at > 0);
    FormatText(out, size, "%s", digits + at);
}

int AskWhenCopyDoesNotFit(void)
{
    // The install directory is a full path: a drive letter and a colon come first.
    char root[] = {CopyJournal.install[0], ':', '\\', '\0'};
    char drive[] = {CopyJournal.install[0], ':', '\0'};
    char needText[CountTextSize], freeText[CountTextSize];
    char question[256];
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    unsigned long clusterBytes;
    unsigned long long needed;

    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters))
        return 1;
    clusterBytes = sectorsPerCluster * bytesPerSector;
    if (clusterBytes == 0)
        return 1;
    needed = ClustersNeeded(clusterBytes);
    if (needed <= freeClusters)
        return 1;
    FormatCount(needText, sizeof needText, (needed * clusterBytes + 1023) / 1024);
    FormatCount(freeText, sizeof freeText, (unsigned long long)freeClusters * clusterBytes / 1024);
    FormatText(question, sizeof question,
               "Drive %s has %s KB free, and Veltrane needs %s KB\n\n"
               "Press OK to install all the same (a compressed drive can hold more than it "
               "says), or Cancel to choose another directory",
               drive, freeText, needText);
    return AskToGoAhead(MainWindow, question);
}
