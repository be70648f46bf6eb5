// The rules are Windows' own: reserved device names with any extension, the characters
// its file systems forbid, trailing dots and blanks that it drops, and names compared
// regardless of letter case. Spelling is checked by the platform's conversion into the
// chosen code page, as setup's ANSI calls would meet the name.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "names.h"
#include "paths.h"
#include "platform.h"
#include "report.h"

enum { WalkDepthLimit = 64 };

static int CodePage = DefaultCodePage;

int ChooseCodePage(int codePage)
{
    CodePage = codePage;
    return OpenCodePage(codePage);
}

static char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// The device that a name stands for whatever its extension ("con.txt" opens the console):
// the part before the first dot, blanks after it ignored; 0 when it is none.
static const char *ReservedDevice(const char *name)
{
    static const char *const devices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
    };
    size_t length = strcspn(name, ".");
    while (length > 0 && name[length - 1] == ' ')
        length--;
    for (const char *device : devices) {
        if (strlen(device) != length)
            continue;
        size_t i = 0;
        while (i < length && UpperAscii(name[i]) == device[i])
            i++;
        if (i == length)
            return device;
    }
    return 0;
}

int NameProblem(const char *name, char *reason, int size)
{
    const char *device = ReservedDevice(name);
    size_t length = strlen(name);

    if (device) {
        snprintf(reason, size, "reserved device name %s: Windows opens the device, not a file",
                 device);
        return 1;
    }
    for (const char *c = name; *c; c++) {
        unsigned char byte = (unsigned char)*c;
        if (byte < 32) {
            snprintf(reason, size, "holds control character 0x%02x, which Windows forbids in "
                     "names", byte);
            return 1;
        }
        if (strchr("<>:\"/\\|?*", byte)) {
            snprintf(reason, size, "holds '%c', which Windows forbids in names", byte);
            return 1;
        }
    }
    if (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) {
        snprintf(reason, size, "ends in a %s, which Windows drops: the file lands under "
                 "another name or not at all", name[length - 1] == '.' ? "dot" : "blank");
        return 1;
    }
    return 0;
}

static bool ByName(const FolderEntry &a, const FolderEntry &b)
{
    return a.name < b.name;
}

static void CheckFolder(const std::string &shown, std::vector<FolderEntry> &entries)
{
    char reason[NameReasonSize];

    std::sort(entries.begin(), entries.end(), ByName);
    for (size_t i = 0; i < entries.size(); i++) {
        const FolderEntry &entry = entries[i];
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        if (NameProblem(entry.utf8.c_str(), reason, sizeof reason))
            Report(SeverityError, where.c_str(), 0, "%s", reason);
        if (!entry.spellable)
            Report(SeverityError, where.c_str(), 0, "code page %d cannot spell the name: "
                   "setup's ANSI calls see question marks and cannot copy or open it",
                   CodePage);
        for (size_t j = 0; j < i; j++) {
            if (entries[j].folded == entry.folded) {
                Report(SeverityError, where.c_str(), 0, "differs from %s only in letter case; "
                       "Windows takes both for one name", entries[j].name.c_str());
                break;
            }
        }
    }
}

static void Walk(const char *folder, const std::string &shown, int depth)
{
    std::vector<FolderEntry> entries;

    if (depth > WalkDepthLimit || ListFolder(folder, &entries) < 0)
        return;
    CheckFolder(shown, entries);
    for (const FolderEntry &entry : entries) {
        char path[CheckPathSize];
        if (entry.isDirectory && JoinPath(path, sizeof path, folder, entry.local.c_str()) == 0)
            Walk(path, shown.empty() ? entry.name : shown + "\\" + entry.name, depth + 1);
    }
}

void CheckNames(const char *root, const char *shownRoot)
{
    Walk(root, shownRoot, 0);
}

int CheckGeneratedName(const char *where, int line, const char *shown, const char *rest)
{
    char reason[NameReasonSize];
    int reported = 0;

    while (*rest) {
        size_t length = strcspn(rest, "\\/");
        std::string part(rest, length);
        rest += length + (rest[length] ? 1 : 0);
        if (part.empty() || part == "." || part == "..")
            continue;
        if (NameProblem(part.c_str(), reason, sizeof reason)) {
            Report(SeverityError, where, line, "%s: \"%s\": %s", shown, part.c_str(), reason);
            reported++;
        }
    }
    return reported;
}
