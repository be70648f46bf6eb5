// Writes links.inf and hands it to brindle, which asks the shell to install it. setup
// does not wait: the shell's INF engine works on the file on its own, and the exit
// clean-up deletes it.
#include <windows.h>

#include "config/linkscript.h"
#include "shell/msgbox.h"
#include "shell/state.h"
#include "shell/text.h"

int WriteLinkScript(const char *installDir)
{
    int length = JoinDirectory(LinksInfPath, sizeof LinksInfPath, installDir, "\\links.inf");
    if (length >= (int)sizeof LinksInfPath) {
        // A cut path would name another file, which the exit clean-up would then delete.
        LinksInfPath[0] = 0;
        return -1;
    }
    if (WriteLinkFile(LinksInfPath, installDir) < 0)
        return -1;
    // brindle is named bare, so that Windows finds it beside setup first. The path needs
    // no quotes: the install directory never holds a blank.
    char command[sizeof "brindle " + PathBufferSize];
    FormatText(command, sizeof command, "brindle %s", LinksInfPath);
    // Without brindle no program group is made; the user should know why.
    if (WinExec(command, SW_HIDE) <= 31)
        ShowError(MainWindow, "Could not start program brindle");
    return 0;
}
