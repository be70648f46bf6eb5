// The text of links.inf: an INF script whose default install section adds the program
// group "Veltrane" and its shortcuts to setup.ini. Windows puts the install directory in
// place of %InstallDir% when it runs the script.
#include "config/linkscript.h"

#include <stdio.h>

#include "config/linefile.h"

// The shortcuts, in the order the group shows them:
//
//   caption                    command                 working directory
//   Orvane Manager             orvane.exe              %InstallDir%
//   Schematic Editor           schemed.exe             %InstallDir%\schematic
//   Autorouter                 router.exe /auto        %InstallDir%\layout
//   Interactive Router         router.exe              %InstallDir%
//   Gerber Viewer              gerbview.exe            %InstallDir%
//   Component Library          partlib.exe             %InstallDir%\library
//   Component Import           partlib.exe /import     %InstallDir%\library
//   Orvane Manager Help        orvane.hlp              %InstallDir%
//   Router Help                router.hlp              %InstallDir%
//   Schematic Editor Help      schemed.hlp             %InstallDir%
//   Gerber Viewer Help         gerbview.hlp            %InstallDir%
//   Uninstall Veltrane         unvelt.exe              %InstallDir%
//
// Each line reads: setup.ini, group1,, """caption"" ,""%InstallDir%\command"",,,,""dir""
#define SHORTCUT(caption, command, directory)                                          \
    "setup.ini, group1,, \"\"\"" caption "\"\" ,\"\"%InstallDir%\\" command              \
    "\"\",,,,\"\"%InstallDir%" directory "\"\""

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
    SHORTCUT("Orvane Manager", "orvane.exe", ""),
    SHORTCUT("Schematic Editor", "schemed.exe", "\\schematic"),
    SHORTCUT("Autorouter", "router.exe /auto", "\\layout"),
    SHORTCUT("Interactive Router", "router.exe", ""),
    SHORTCUT("Gerber Viewer", "gerbview.exe", ""),
    SHORTCUT("Component Library", "partlib.exe", "\\library"),
    SHORTCUT("Component Import", "partlib.exe /import", "\\library"),
    SHORTCUT("Orvane Manager Help", "orvane.hlp", ""),
    SHORTCUT("Router Help", "router.hlp", ""),
    SHORTCUT("Schematic Editor Help", "schemed.hlp", ""),
    SHORTCUT("Gerber Viewer Help", "gerbview.hlp", ""),
    SHORTCUT("Uninstall Veltrane", "unvelt.exe", ""),
};

static_assert(sizeof HeadLines / sizeof *HeadLines + 1 + sizeof TailLines / sizeof *TailLines
                  == LinkScriptLineCount,
              "links.inf has a fixed number of lines");

enum {
    // "InstallDir       = " and two quotes around a directory of up to 199 characters.
    InstallDirLineSize = 19 + 2 + 200,
};

int WriteLinkFile(const char *path, const char *installDir)
{
    // The directory line is made first, so that a directory too long for it leaves no
    // half-written script behind.
    char installDirLine[InstallDirLineSize];
    int length = snprintf(installDirLine, sizeof installDirLine, "InstallDir       = \"%s\"",
                          installDir);
    if (length < 0 || length >= (int)sizeof installDirLine)
        return -1;
    int file = LineFileOpenWrite(path);
    if (file < 0)
        return -1;
    for (const char *line : HeadLines)
        LineFileWriteLine(file, line);
    LineFileWriteLine(file, installDirLine);
    for (const char *line : TailLines)
        LineFileWriteLine(file, line);
    LineFileCloseWrite(file);
    return 0;
}
