// Stand-in for the suite's programs on the sample medium: it records how it was started in
// <its name>-started.txt beside itself, so a demo can show that setup started it with the
// install directory as its argument; with a person at the screen it also says so.
#include <windows.h>
#include <stdio.h>
#include <string.h>

static void RecordStart(const char *programPath, const char *commandLine)
{
    char recordPath[MAX_PATH + 16];
    char *extension;
    FILE *record;

    snprintf(recordPath, sizeof recordPath, "%s", programPath);
    extension = strrchr(recordPath, '.');
    if (extension)
        *extension = 0;
    snprintf(recordPath + strlen(recordPath), sizeof recordPath - strlen(recordPath),
             "-started.txt");
    record = fopen(recordPath, "wb");
    if (!record)
        return;
    fprintf(record, "%s\r\n", commandLine);
    fclose(record);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char programPath[MAX_PATH];
    char message[MAX_PATH + 600];
    const char *commandLine = GetCommandLineA();

    GetModuleFileNameA(NULL, programPath, sizeof programPath);
    RecordStart(programPath, commandLine);
    if (!GetEnvironmentVariableA("VELTRANE_DEMO_HEADLESS", NULL, 0)) {
        snprintf(message, sizeof message, "Stand-in program started:\n\n%s", commandLine);
        MessageBoxA(NULL, message, "Veltrane sample", MB_OK | MB_ICONINFORMATION);
    }
    return 0;
}
