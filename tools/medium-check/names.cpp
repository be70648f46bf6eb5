// The rules are Windows' own: reserved device names with any extension, the characters
// its file systems forbid, trailing dots and blanks that it drops, and names compared
// regardless of letter case. Spelling is checked by the platform's conversion into the
// chosen code page and back, as setup's ANSI calls would meet the name: what does not come
// back the same is another name to them.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "names.h"
#include "paths.h"
#include "platform.h"
#include "report.h"
#include "shell/text.h"

static int CodePage = DefaultCodePage;
static int DiscImage;

const char KnownCodePages[] = "874 932 936 949 950 1250 1251 1252 1253 1254 1255 1256 1257 1258";

int IsKnownCodePage(const char *text)
{
    size_t length = strlen(text);

    if (length == 0 || strspn(text, "0123456789") != length)
        return 0;
    for (const char *known = KnownCodePages; *known;) {
        size_t part = strcspn(known, " ");
        if (part == length && strncmp(known, text, length) == 0)
            return 1;
        known += part + (known[part] ? 1 : 0);
    }
    return 0;
}

int ChooseCodePage(int codePage)
{
    CodePage = codePage;
#ifndef _WIN32
    // setup's own code in the checker walks paths by the characters of this code page, as
    // setup does by the system's; on Windows that is the system's own.
    UseCodePage(codePage);
#endif
    return OpenCodePage(codePage);
}

void JudgeForDiscImage(void)
{
    DiscImage = 1;
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
// character of two bytes ends in 0x5C, the backslash, when the text ends in a lead byte,
// or, unless `separators` (a path), a character of one byte is 0x5C; 0 when none.
static int BackslashProblem(const char *ansi, int separators, char *reason, int size)
{
    for (const unsigned char *c = (const unsigned char *)ansi; *c; c++) {
        if (*c == '\\' && !separators) {
            snprintf(reason, size, "code page %d turns a character of the name into 0x5C, the "
                     "backslash: setup takes it for a separator", CodePage);
            return 1;
        }
        if (!IsLeadByte(CodePage, *c))
            continue;
        // The walk never steps over the end: a lead byte there has no second byte.
        if (!c[1]) {
            snprintf(reason, size, "ends in a lead byte of code page %d without its second "
                     "byte: no character, and Windows meets another name", CodePage);
            return 1;
        }
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

static const char *KindText(int kind)
{
    switch (kind) {
    case EntryLink:
        return "a link, not followed";
    case EntryFifo:
        return "a FIFO, not opened";
    case EntrySocket:
        return "a socket, not opened";
    case EntryCharacterDevice:
        return "a character device, not opened";
    case EntryBlockDevice:
        return "a block device, not opened";
    }
    return 0;
}

// 1 when a walk may go down into the entry: a folder whose name Windows takes and the code
// page spells as it is; a path made of any other name could name another place.
static int Enterable(const FolderEntry &entry)
{
    char reason[NameReasonSize];

    return entry.kind == EntryFolder && entry.spellable &&
           !NameProblem(entry.utf8.c_str(), reason, sizeof reason) &&
           !BackslashProblem(entry.ansi.c_str(), 0, reason, sizeof reason);
}

// In capitals first, so that names differing only in case stand together.
static bool ByFoldedName(const FolderEntry &a, const FolderEntry &b)
{
    return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
}

// How the code page spells the entry's name, reported when setup's ANSI calls would not
// meet the name itself; `exact` holds the names of the folder that it spells exactly.
static void CheckSpelling(const char *where, const FolderEntry &entry,
                          const std::map<std::string, std::string> &exact)
{
    char reason[NameReasonSize];

    if (entry.ansi.empty()) {
        Report(SeverityError, where, 0, "code page %d cannot spell the name: setup's ANSI "
               "calls see question marks and cannot copy or open it", CodePage);
    } else if (BackslashProblem(entry.ansi.c_str(), 0, reason, sizeof reason)) {
        Report(SeverityError, where, 0, "%s", reason);
    } else if (!entry.spellable) {
        auto twin = exact.find(entry.ansi);
        if (twin != exact.end())
            Report(SeverityError, where, 0, "in code page %d it becomes the name of %s: "
                   "setup's ANSI calls take both for one", CodePage, twin->second.c_str());
        else
            Report(SeverityError, where, 0, "code page %d spells the name only approximately: "
                   "setup's ANSI calls see another name and cannot copy or open it", CodePage);
    }
}

// Where the medium lies when setup runs in place, and the entry's path in the code page
// below it; "" for no measure.
struct Measure {
    std::string installDir;
    std::string relative;
};

// Windows opens paths of fewer than MAX_PATH characters, counted in the code page's bytes
// as setup composes them. 1 when the entry's path is too long.
static int CheckPathLength(const char *where, const FolderEntry &entry, const Measure &measure)
{
    if (measure.installDir.empty() || !entry.spellable)
        return 0;
    size_t length = measure.installDir.size() + 1 + measure.relative.size() +
                    (measure.relative.empty() ? 0 : 1) + entry.ansi.size();
    if (length < WindowsPathLimit)
        return 0;
    Report(SeverityError, where, 0, "a path of %d characters below %s when setup runs; "
           "Windows takes at most %d", (int)length, Shown(measure.installDir.c_str()).c_str(),
           WindowsPathLimit - 1);
    return 1;
}

// Returns the entries whose path is too long, which are not measured further down.
static std::vector<int> CheckFolder(const std::string &shown, std::vector<FolderEntry> &entries,
                                    const Measure &measure)
{
    char reason[NameReasonSize];
    size_t sameFrom = 0;  // the first entry of the run of names equal in capitals
    std::map<std::string, std::string> exact;
    std::vector<int> tooLong(entries.size());

    std::sort(entries.begin(), entries.end(), ByFoldedName);
    for (const FolderEntry &entry : entries)
        if (entry.spellable)
            exact[entry.ansi] = entry.name;
    for (size_t i = 0; i < entries.size(); i++) {
        const FolderEntry &entry = entries[i];
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        if (KindText(entry.kind))
            Report(SeverityError, where.c_str(), 0, "%s: setup, a disc image and an archive "
                   "take only files and folders", KindText(entry.kind));
        if (NameProblem(entry.utf8.c_str(), reason, sizeof reason))
            Report(SeverityError, where.c_str(), 0, "%s", reason);
        else
            CheckSpelling(where.c_str(), entry, exact);
        if (DiscImage && strchr(entry.utf8.c_str(), ';'))
            Report(SeverityError, where.c_str(), 0, "holds ';', which Windows takes but a disc "
                   "image's Joliet names cannot hold");
        if (i == 0 || entries[sameFrom].folded != entry.folded)
            sameFrom = i;
        else
            Report(SeverityError, where.c_str(), 0, "differs from %s only in letter case; "
                   "Windows takes both for one name", entries[sameFrom].name.c_str());
        tooLong[i] = CheckPathLength(where.c_str(), entry, measure);
    }
    return tooLong;
}

// Checks the entries of `folder` and goes down into its folders, but never through a link
// nor through a name that Windows or the code page cannot take as it is.
static void Walk(const char *folder, const std::string &shown, const Measure &measure)
{
    std::vector<FolderEntry> entries;

    if (ListFolder(folder, &entries) < 0) {
        Report(SeverityError, shown.empty() ? Shown(folder).c_str() : shown.c_str(), 0,
               "cannot be listed; nothing in it is checked");
        return;
    }
    std::vector<int> tooLong = CheckFolder(shown, entries, measure);
    for (size_t i = 0; i < entries.size(); i++) {
        const FolderEntry &entry = entries[i];
        char path[CheckPathSize];
        if (!Enterable(entry))
            continue;
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        Measure below;
        if (!tooLong[i] && !measure.installDir.empty()) {
            below.installDir = measure.installDir;
            below.relative = measure.relative.empty() ? entry.ansi
                                                      : measure.relative + "\\" + entry.ansi;
        }
        if (JoinPath(path, sizeof path, folder, entry.local.c_str()) < 0)
            Report(SeverityError, where.c_str(), 0, "path too long for Windows to open; "
                   "nothing in it is checked");
        else
            Walk(path, where, below);
    }
}

// Reports each entry of `folder` whose name differs from another's only in letter case,
// and goes down into every folder (never through a link).
static void WalkSameNames(const char *folder, const std::string &shown)
{
    std::vector<FolderEntry> entries;

    if (ListFolder(folder, &entries) < 0) {
        Report(SeverityError, shown.empty() ? Shown(folder).c_str() : shown.c_str(), 0,
               "cannot be listed");
        return;
    }
    std::sort(entries.begin(), entries.end(), ByFoldedName);
    for (size_t i = 0; i < entries.size(); i++) {
        const FolderEntry &entry = entries[i];
        std::string where = shown.empty() ? entry.name : shown + "\\" + entry.name;
        if (i > 0 && entries[i - 1].folded == entry.folded)
            Report(SeverityError, where.c_str(), 0, "differs from %s only in letter case; "
                   "Windows takes both for one name", entries[i - 1].name.c_str());
        char path[CheckPathSize];
        if (entry.kind == EntryFolder && JoinPath(path, sizeof path, folder,
                                                  entry.local.c_str()) == 0)
            WalkSameNames(path, where);
    }
}

void CheckSameNames(const char *root)
{
    WalkSameNames(root, "");
}

void CheckNames(const char *root, const char *shownRoot, const char *installDir)
{
    Measure measure;

    if (installDir)
        measure.installDir = installDir;
    Walk(root, shownRoot, measure);
}

int CheckGeneratedName(const char *where, int line, const char *shown, const char *rest)
{
    char reason[NameReasonSize];
    int reported = 0;

    if (BackslashProblem(rest, 1, reason, sizeof reason)) {
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
