// Setup's own list of shortcuts, the file of each looked up in the tree that will be
// installed; names are matched regardless of case, as Windows opens them.
#include "shortcuts.h"

#include <stdio.h>
#include <string.h>

#include "config/linkscript.h"
#include "paths.h"
#include "platform.h"
#include "report.h"

enum { FileNameSize = 64, CaptionListSize = 256 };

// The file that a shortcut's command starts or opens: the command up to its option.
static void CommandFile(const char *command, char *file, int size)
{
    int length = (int)strcspn(command, " ");
    snprintf(file, size, "%.*s", length, command);
}

void CheckShortcuts(const char *mediumDir, const char *sourceDir)
{
    for (int i = 0; i < LinkShortcutCount; i++) {
        char file[FileNameSize];
        char other[FileNameSize];
        CommandFile(LinkShortcuts[i].command, file, sizeof file);
        int seen = 0;
        for (int j = 0; j < i && !seen; j++) {
            CommandFile(LinkShortcuts[j].command, other, sizeof other);
            seen = SameText(file, other);
        }
        char path[CheckPathSize];
        if (seen || JoinPath(path, sizeof path, sourceDir, file) < 0 ||
            (FileSize(path) >= 0 && !IsDirectory(path)))
            continue;
        char captions[CaptionListSize] = "";
        int used = 0;
        for (int j = i; j < LinkShortcutCount; j++) {
            CommandFile(LinkShortcuts[j].command, other, sizeof other);
            if (!SameText(file, other) || used >= (int)sizeof captions)
                continue;
            int length = snprintf(captions + used, sizeof captions - used, "%s\"%s\"",
                                  used ? ", " : "", LinkShortcuts[j].caption);
            used += length > 0 ? length : 0;
        }
        Report(SeverityWarning, RelativeTo(path, mediumDir), 0,
               "not on the medium, so the shortcut%s %s lead%s to nothing",
               strchr(captions, ',') ? "s" : "", captions, strchr(captions, ',') ? "" : "s");
    }
}
