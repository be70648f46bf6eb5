// A relative name would land in setup's current folder (the medium's), a leading backslash
// on the current drive, "X:" alone in that drive's current folder and a network path on
// another machine; a name that Windows cannot make, or makes as another one, leaves the
// installation writing where nobody looks. All of them are refused before anything is made.
#include "wizard/installdir.h"

#include "shell/text.h"

static const char PathAdvice[] =
    "Type a drive letter, a colon and a backslash followed by folder names, such as "
    "c:\\veltrane";
static const char NameAdvice[] = "Choose another folder name";

// Names Windows keeps for its devices, whatever extension follows them.
static const char *const DeviceNames[] = {
    "CON",  "PRN",  "AUX",  "NUL",  "CLOCK$", "CONIN$", "CONOUT$", "COM0", "COM1", "COM2",
    "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",   "COM9",    "LPT0", "LPT1", "LPT2",
    "LPT3", "LPT4", "LPT5", "LPT6", "LPT7",   "LPT8",   "LPT9",
};

static int IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

static char UpperCase(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// 1 when the folder name of `length` bytes at `name` is a device's, before any dot.
static int IsDeviceName(const char *name, int length)
{
    int stem = 0;

    while (stem < length && name[stem] != '.')
        stem += CharacterLength(name + stem);
    for (const char *device : DeviceNames) {
        int i = 0;
        while (i < stem && device[i] && UpperCase(name[i]) == device[i])
            i++;
        if (i == stem && !device[i])
            return 1;
    }
    return 0;
}

static int Refuse(char *message, int size, const char *entry, const char *problem,
                  const char *detail, const char *advice)
{
    FormatText(message, size, "The install directory %s %s%s\n\n%s", entry, problem, detail,
               advice);
    return -1;
}

// Judges the folder name of `length` bytes at `name`, whose last character starts at
// `last`, and refuses it with its reason.
static int JudgeName(const char *entry, const char *name, int length, const char *last,
                     char *message, int size)
{
    char shown[100];

    if (length >= (int)sizeof shown)
        length = sizeof shown - 1;
    FormatText(shown, length + 1, "%s", name);
    if (IsDeviceName(name, length))
        return Refuse(message, size, entry, "holds a device name: ", shown, NameAdvice);
    if (*last == '.')
        return Refuse(message, size, entry, "holds a folder name that ends in a dot: ", shown,
                      NameAdvice);
    if (*last == ' ')
        return Refuse(message, size, entry, "holds a folder name that ends in a blank: ",
                      shown, NameAdvice);
    return 0;
}

int JudgeInstallDirectory(const char *entry, char *message, int size)
{
    for (const char *c = entry; *c; c += CharacterLength(c)) {
        if (*c == '/')
            return Refuse(message, size, entry, "holds a forward slash", "", PathAdvice);
    }
    if (entry[0] == '\\' && entry[1] == '\\')
        return Refuse(message, size, entry, "is a network path", "", PathAdvice);
    if (!IsLetter(entry[0]) || entry[1] != ':' || entry[2] != '\\')
        return Refuse(message, size, entry, "is not a full path", "", PathAdvice);

    const char *name = entry + 3;
    const char *last = 0;
    for (const char *c = name;; c += CharacterLength(c)) {
        if (*c == '\\' || *c == '\0') {
            if (c == name && *c == '\\')
                return Refuse(message, size, entry, "holds two backslashes in a row", "",
                              PathAdvice);
            if (c > name && JudgeName(entry, name, (int)(c - name), last, message, size) < 0)
                return -1;
            if (*c == '\0')
                return 0;
            name = c + 1;
            continue;
        }
        if ((unsigned char)*c < 0x20)
            return Refuse(message, size, entry, "holds a control character", "", NameAdvice);
        for (const char *forbidden = "<>:\"|?*"; *forbidden; forbidden++) {
            if (*c == *forbidden)
                return Refuse(message, size, entry,
                              "holds a character that names cannot hold: ", "< > : \" | ? *",
                              NameAdvice);
        }
        last = c;
    }
}
