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

// The device that a UTF-8 name stands for whatever its extension ("con.txt" opens the
// console): the part before the first dot, blanks after it ignored; 0 when it is none.
// Windows takes the superscript digits one to three for ports as well.
static const char *ReservedDevice(const char *name)
{
    static const char *const devices[] = {
        "CON",  "PRN",  "AUX",  "NUL",  "CLOCK$", "CONIN$", "CONOUT$", "COM0", "COM1", "COM2",
        "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",   "COM9",    "LPT0", "LPT1", "LPT2",
        "LPT3", "LPT4", "LPT5", "LPT6", "LPT7",   "LPT8",   "LPT9",
        "COM\xc2\xb9", "COM\xc2\xb2", "COM\xc2\xb3", "LPT\xc2\xb9", "LPT\xc2\xb2", "LPT\xc2\xb3",
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

int PathHasProblem(const char *path)
{
    char reason[NameReasonSize];

    while (*path) {
        size_t length = strcspn(path, "\\");
        std::string part(path, length);
        path += length + (path[length] ? 1 : 0);
        if (!part.empty() && NameProblem(part.c_str(), reason, sizeof reason))
            return 1;
    }
    return 0;
}

// 1 when `byte` starts a character of two bytes in the double-byte code page `codePage`.
static int IsLeadByte(int codePage, unsigned char byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xfe;
    }
    return 0;
}

// Puts into `reason` why the ANSI text `ansi` misleads setup, and returns 1, when a
// character of two bytes ends in 0x5C, the backslash; 0 when none does.
static int TrailByteProblem(const char *ansi, char *reason, int size)
{
    for (const unsigned char *c = (const unsigned char *)ansi; *c; c++) {
        if (!IsLeadByte(CodePage, *c) || !c[1])
            continue;
        c++;
        if (*c == '\\') {
            snprintf(reason, size, "in code page %d a character of two bytes ends in 0x5C, the "
                     "backslash: setup reads paths byte by byte and takes it for a separator "
                     "(a name ending in it, for a folder)", CodePage);
            return 1;
        }
    }
    return 0;
}

// In capitals first, so that names differing only in case stand together.
static bool ByFoldedName(const FolderEntry &a, const FolderEntry &b)
{
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
}

static void CheckFolder(const std::string &shown, std::vector<FolderEntry> &entries)
{
    char reason[NameReasonSize];
    size_t sameFrom = 0;  // the first entry of the run of names equal in capitals

    std::sort(entries.begin(), entries.end(), ByFoldedName);
    for (size_t i = 0; i < entries.size(); i++) {
        const FolderEntry &entry = entries[i];
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        if (NameProblem(entry.utf8.c_str(), reason, sizeof reason))
            Report(SeverityError, where.c_str(), 0, "%s", reason);
        if (!entry.spellable)
            Report(SeverityError, where.c_str(), 0, "code page %d cannot spell the name: "
                   "setup's ANSI calls see question marks and cannot copy or open it",
                   CodePage);
        else if (TrailByteProblem(entry.ansi.c_str(), reason, sizeof reason))
            Report(SeverityError, where.c_str(), 0, "%s", reason);
        if (entry.isLink)
            Report(SeverityWarning, where.c_str(), 0, "link: not followed, nothing behind it "
                   "is checked, and a disc image or archive of the medium cannot hold it");
        if (i == 0 || entries[sameFrom].folded != entry.folded)
            sameFrom = i;
        else
            Report(SeverityError, where.c_str(), 0, "differs from %s only in letter case; "
                   "Windows takes both for one name", entries[sameFrom].name.c_str());
    }
}

// Checks the entries of `folder` and goes down into its folders, but never through a link
// nor through a name that Windows cannot take: a path made of it could name another place.
static void Walk(const char *folder, const std::string &shown)
{
    std::vector<FolderEntry> entries;
    char reason[NameReasonSize];

    if (ListFolder(folder, &entries) < 0) {
        Report(SeverityError, shown.empty() ? folder : shown.c_str(), 0,
               "cannot be listed; nothing in it is checked");
        return;
    }
    CheckFolder(shown, entries);
    for (const FolderEntry &entry : entries) {
        char path[CheckPathSize];
        if (!entry.isDirectory || NameProblem(entry.utf8.c_str(), reason, sizeof reason))
            continue;
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        if (JoinPath(path, sizeof path, folder, entry.local.c_str()) < 0)
            Report(SeverityError, where.c_str(), 0, "path too long for Windows to open; "
                   "nothing in it is checked");
        else
            Walk(path, where);
    }
}

void CheckNames(const char *root, const char *shownRoot)
{
    Walk(root, shownRoot);
}

int CheckGeneratedName(const char *where, int line, const char *shown, const char *rest)
{
    char reason[NameReasonSize];
    int reported = 0;

    if (TrailByteProblem(rest, reason, sizeof reason)) {
        Report(SeverityError, where, line, "%s: %s", shown, reason);
        reported++;
    }
    while (*rest) {
        size_t length = strcspn(rest, "\\/");
        std::string part(rest, length);
        rest += length + (rest[length] ? 1 : 0);
        if (part.empty() || part == "." || part == "..")
            continue;
        // The template is in the code page; Windows reads the name in Unicode.
        std::string utf8 = CodePageToUtf8(part.c_str());
        if (NameProblem(utf8.empty() ? part.c_str() : utf8.c_str(), reason, sizeof reason)) {
            Report(SeverityError, where, line, "%s: \"%s\": %s", shown, part.c_str(), reason);
            reported++;
        }
    }
    return reported;
}
