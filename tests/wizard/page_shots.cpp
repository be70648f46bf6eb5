// Walks setup-copy.exe through its six pages and saves the whole screen at each one, for
// the README's pictures. Started by scripts/screenshots.sh inside a Wine virtual desktop,
// so the pages appear over the gradient with their title bars as a user sees them.
//   page_shots.exe OUTPUT-FOLDER     writes welcome.bmp ... completed.bmp and gradient.bmp, then done.txt
// Exit codes: 0 all six saved; 1 a page did not come or could not be saved.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>

#include <string>

#include "driver.h"
#include "resource.h"

enum { PageMilliseconds = 20000, TreeFiles = 1500, TreeFileBytes = 16384 };

static std::string Output;
static DWORD SetupId;

static bool Fail(const char *what)
{
    fprintf(stderr, "page_shots: %s\n", what);
    return false;
}

static bool Shoot(const char *name)
{
    ScreenImage image;
    Sleep(300);  // let the page finish painting
    bool saved = CaptureScreen(NULL, &image) &&
                 SaveImageAsBmp(&image, (Output + "\\" + name + ".bmp").c_str());
    FreeScreenImage(&image);
    return saved || Fail(name);
}

static HWND Page(const char *caption)
{
    WindowQuery query = {caption, "#32770", SetupId};
    HWND page = WaitForTopWindow(&query, PageMilliseconds);
    if (!page)
        Fail(caption);
    return page;
}

static bool ShootAndPress(const char *caption, const char *name, int button)
{
    HWND page = Page(caption);
    return page && Shoot(name) && PressButton(page, button) && WaitForWindowGone(page, 5000);
}

// Enough files for the copy to last while the progress page is captured.
static bool MakeTree(const std::string &tree)
{
    static char block[TreeFileBytes];
    CreateDirectoryA(tree.c_str(), NULL);
    for (int i = 0; i < TreeFiles; i++) {
        HANDLE file = CreateFileA((tree + "\\part" + std::to_string(i) + ".lib").c_str(),
                                  GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE)
            return Fail("cannot write the tree");
        WriteFile(file, block, sizeof block, &written, NULL);
        CloseHandle(file);
    }
    return true;
}

// The progress page is a child of the main window, so it is looked for there; it is
// taken once the bar shows a third of the copy.
static bool ShootProgress(void)
{
    WindowQuery query = {"Veltrane setup", "INSTALL", SetupId};
    HWND main = FindTopWindow(&query);
    for (int i = 0; main && i < PageMilliseconds / 10; i++, Sleep(10)) {
        HWND progress = FindWindowExA(main, NULL, "#32770", "Progress");
        HWND bar = progress ? GetDlgItem(progress, IDC_PROGRESS_BAR) : NULL;
        if (!bar || !IsWindowVisible(progress))
            continue;
        LRESULT high = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
        if (high <= 0 || SendMessageA(bar, PBM_GETPOS, 0, 0) * 3 < high)
            continue;
        ScreenImage image;
        bool saved = CaptureScreen(NULL, &image) &&
                     SaveImageAsBmp(&image, (Output + "\\progress.bmp").c_str());
        FreeScreenImage(&image);
        return saved || Fail("progress");
    }
    return Fail("Progress");
}

// Between the end of the copy and the completion page only the gradient window shows.
static bool ShootGradient(void)
{
    WindowQuery query = {"Veltrane setup", "INSTALL", SetupId};
    HWND main = FindTopWindow(&query);
    for (int i = 0; main && i < PageMilliseconds / 10; i++, Sleep(10)) {
        HWND progress = FindWindowExA(main, NULL, "#32770", "Progress");
        if (progress && IsWindowVisible(progress))
            continue;
        Sleep(300);
        return Shoot("gradient");
    }
    return Fail("gradient");
}

static bool Walk(void)
{
    char folder[MAX_PATH];
    ScopedProgram setup;

    if (!MakeScratchFolder("shots", folder, sizeof folder) ||
        !CopyBuiltProgram("setup-copy.exe", folder, "setup.exe") ||
        !MakeTree(std::string(folder) + "\\veltrane") ||
        !StartProgram(&setup.program, (std::string(folder) + "\\setup.exe").c_str(), NULL,
                      folder))
        return Fail("cannot prepare setup");
    SetupId = setup.program.processId;

    if (!ShootAndPress("Welcome", "welcome", IDC_NEXT) ||
        !ShootAndPress("Licence Agreement", "licence", IDNO) ||
        !ShootAndPress("Exit setup", "exit", IDC_BACK))
        return false;
    HWND licence = Page("Licence Agreement");
    if (!licence || !PressButton(licence, IDYES))
        return false;
    HWND directory = Page("Directory to install Veltrane");
    std::string target = std::string(folder) + "\\installed";
    if (!directory || !Shoot("directory") ||
        !TypeIntoEdit(directory, IDC_DIRECTORY_EDIT, target.c_str()) ||
        !PressButton(directory, IDOK) || !ShootProgress() || !ShootGradient() ||
        !ShootAndPress("Setup completed", "completed", IDC_EXIT_SETUP))
        return false;
    WaitForProgramExit(&setup.program, PageMilliseconds);
    RemoveFolderTree(folder);
    return true;
}

int main(int argc, char **argv)
{
    if (argc != 2)
        return Fail("usage: page_shots OUTPUT-FOLDER"), 1;
    Output = argv[1];
    bool walked = Walk();
    FILE *done = fopen((Output + "\\done.txt").c_str(), "wb");
    if (done) {
        fputs(walked ? "ok\n" : "failed\n", done);
        fclose(done);
    }
    return walked ? 0 : 1;
}
