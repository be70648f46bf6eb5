#include <stdio.h>
#include <string.h>

#include "shell/startup.h"

void ComposeSourceDirectory(char *source, int size, const char *currentDirectory,
                            int inPlace)
{
    size_t length = strlen(currentDirectory);
    int endsInBackslash = length > 0 && currentDirectory[length - 1] == '\\';

    if (inPlace)
        snprintf(source, size, "%s", currentDirectory);
    else
        snprintf(source, size, endsInBackslash ? "%sveltrane" : "%s\\veltrane",
                 currentDirectory);
}
