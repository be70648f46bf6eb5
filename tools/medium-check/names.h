// Names that Windows cannot take: what a medium prepared on another system may hold and
// what a template may name, reported before setup's copy or open fails on them.
#ifndef VELTRANE_MEDIUM_CHECK_NAMES_H
#define VELTRANE_MEDIUM_CHECK_NAMES_H

enum { DefaultCodePage = 1252, NameReasonSize = 256 };

// The ANSI code pages of Windows that setup can run on, in a list of the numbers
// separated by blanks.
extern const char KnownCodePages[];

// 1 when `text` is the number of one of KnownCodePages, in decimal digits and nothing else.
int IsKnownCodePage(const char *text);

// Chooses the ANSI code page that names must be spelled in; 0, or -1 when this platform
// has no conversion to it.
int ChooseCodePage(int codePage);

// Puts into `reason` why Windows cannot take `name` (one part of a path, neither "." nor
// "..") as the name of a file or folder, and returns 1; 0 when it can.
int NameProblem(const char *name, char *reason, int size);

// From now on names are judged for a disc image as well, whose Joliet names cannot hold
// ';'.
void JudgeForDiscImage(void);

// 1 when a part of the relative path `path` is a name that Windows cannot take.
int PathHasProblem(const char *path);

// Reports every entry below `root` that is neither a file nor a folder (never followed or
// opened), whose name Windows cannot take, that the code page cannot spell exactly, whose
// ANSI form would mislead setup, or that differs from another entry of its folder only in
// letter case. With `installDir` (in place: where the medium lies when setup runs; 0 in
// copy mode, whose copies the tree check measures) every path below it is measured against
// MAX_PATH. Reports name the entries below `shownRoot` ("" for none).
void CheckNames(const char *root, const char *shownRoot, const char *installDir);

// Reports every entry below `root` whose name differs from another's of its folder only
// in letter case, compared as Windows compares names, at every depth.
void CheckSameNames(const char *root);

// Reports each part of the generated file's path `rest` (what follows the install
// directory) that Windows cannot take; `shown` is the whole path as setup composes it.
// Returns the number reported.
int CheckGeneratedName(const char *where, int line, const char *shown, const char *rest);

#endif
