// The text of links.inf: an INF script whose default install section adds the program
// group "Veltrane" and its shortcuts to setup.ini. Windows puts the install directory in
// place of %InstallDir% when it runs the script.
#include "config/linkscript.h"

#include "config/linefile.h"
#include "shell/text.h"

// Windows puts the install directory in front of each command and working directory.
const LinkShortcut LinkShortcuts[LinkShortcutCount] = {
    {"Orvane Manager", "orvane.exe", ""},
    {"Schematic Editor", "schemed.exe", "\\schematic"},
    {"Autorouter", "router.exe /auto", "\\layout"},
    {"Interactive Router", "router.exe", ""},
    {"Gerber Viewer", "gerbview.exe", ""},
    {"Component Library", "partlib.exe", "\\library"},
    {"Component Import", "partlib.exe /import", "\\library"},
    {"Orvane Manager Help", "orvane.hlp", ""},
    {"Router Help", "router.hlp", ""},
    {"Schematic Editor Help", "schemed.hlp", ""},
    {"Gerber Viewer Help", "gerbview.hlp", ""},
    {"Uninstall Veltrane", "unvelt.exe", ""},
};

static const char *const HeadLines[] = {
    "",
    "; Application: Veltrane",
    "; Version    : 2.0",
    "; Copyright (c) Veltrane. All rights reserved.",
    "; ---------------------------------------------------------------------------",
    "",
    "[Version]",
    "Signature=$Chicago$",
    "SetupClass=BASE",
    "",
    "[Strings]",
};

static const char *const TailLines[] = {
    "",
    "[DefaultInstall]",
    "",
    "UpdateInis=Product.links",
    "",
    "[Product.links]",
    "",
    "setup.ini, progman.groups,, \"group1=\"\"Veltrane\"\"",
};

static_assert(sizeof HeadLines / sizeof *HeadLines + 1 + sizeof TailLines / sizeof *TailLines +
                      LinkShortcutCount ==
                  LinkScriptLineCount,
              "links.inf has a fixed number of lines");

enum {
    // "InstallDir       = " and two quotes around a directory of up to 199 characters.
    InstallDirLineSize = 19 + 2 + 200,
    ShortcutLineSize = 190,
};

int WriteLinkFile(const char *path, const char *installDir)
{
    // A drive's root stands as "X:\", for "X:" alone would be that drive's current folder;
    // the shortcuts then join their names to it without a backslash of their own.
    char directory[InstallDirLineSize];
    JoinDirectory(directory, sizeof directory, installDir, "");
    int atRoot = EndsInBackslash(directory);
    // The directory line is made first, so that a directory too long for it leaves no
    // half-written script behind.
    char installDirLine[InstallDirLineSize];
    int length = FormatText(installDirLine, sizeof installDirLine,
                            "InstallDir       = \"%s\"", directory);
    int file = length < (int)sizeof installDirLine ? LineFileOpenWrite(path) : -1;
    if (file < 0) {
        TellUnwrittenFile(path);
        return -1;
    }
    int failed = 0;
    for (const char *line : HeadLines)
        LineFileWriteOrTell(file, line, path, &failed);
    LineFileWriteOrTell(file, installDirLine, path, &failed);
    for (const char *line : TailLines)
        LineFileWriteOrTell(file, line, path, &failed);
    // Each line reads: setup.ini, group1,, """caption"" ,""%InstallDir%\command"",,,,""dir""
    for (const LinkShortcut &shortcut : LinkShortcuts) {
        const char *folder = shortcut.directory + (atRoot && shortcut.directory[0] == '\\');
        char line[ShortcutLineSize];
        FormatText(line, sizeof line,
                   "setup.ini, group1,, \"\"\"%s\"\" ,\"\"%%InstallDir%%%s%s\"\","
                   ",,,\"\"%%InstallDir%%%s\"\"",
                   shortcut.caption, atRoot ? "" : "\\", shortcut.command, folder);
        LineFileWriteOrTell(file, line, path, &failed);
    }
    LineFileCloseWrite(file);
    return 0;
}
