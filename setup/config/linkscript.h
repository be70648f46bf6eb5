#ifndef VELTRANE_CONFIG_LINKSCRIPT_H
#define VELTRANE_CONFIG_LINKSCRIPT_H

enum { LinkScriptLineCount = 32, LinkShortcutCount = 12 };

// One shortcut of the program group "Veltrane".
struct LinkShortcut {
    const char *caption;
    const char *command;    // below the install directory: a file, then maybe an option
    const char *directory;  // the working directory below the install directory, or ""
};

// The shortcuts, in the order the group shows them.
extern const LinkShortcut LinkShortcuts[LinkShortcutCount];

// Writes the program-group script for `installDir` (up to 199 characters) to `path`, every
// line ended by CR LF. 0, or -1 when the file cannot be opened or the directory does not
// fit (then nothing is written). A script that cannot be written whole is told to the
// listener of ReportUnwrittenFiles; a failed write does not stop the others.
int WriteLinkFile(const char *path, const char *installDir);

// Writes links.inf into `installDir` (its path stays in LinksInfPath for the exit
// clean-up) and starts brindle on it, hidden, without waiting. 0, or -1 as WriteLinkFile
// (then brindle is not started).
int WriteLinkScript(const char *installDir);

#endif
