#include "shell/startup.h"
#include "shell/text.h"

void ComposeSourceDirectory(char *source, int size, const char *currentDirectory,
                            int inPlace)
{
    if (inPlace)
        FormatText(source, size, "%s", currentDirectory);
    else
        FormatText(source, size,
                   EndsInBackslash(currentDirectory) ? "%sveltrane" : "%s\\veltrane",
                   currentDirectory);
}
