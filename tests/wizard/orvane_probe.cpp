// Stands in for the suite's main program in the end-to-end tests: writes the command line
// it was started with into orvane-command.txt beside itself, then ends.
#include <windows.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    char *name = strrchr(path, '\\');

    if (length == 0 || length >= sizeof path || !name ||
        (size_t)(name + 1 - path) + sizeof "orvane-command.txt" > sizeof path)
        return 1;
    strcpy(name + 1, "orvane-command.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const char *command = GetCommandLineA();
    DWORD written = 0;
    BOOL ok = WriteFile(file, command, (DWORD)strlen(command), &written, NULL);
    CloseHandle(file);
    return ok && written == strlen(command) ? 0 : 1;
}
