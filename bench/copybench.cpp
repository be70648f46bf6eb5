// copybench: setup's tree copy called in-process under Wine, against the bare loop of
// CopyFileA and CreateDirectoryA over the same file list, for bench/run.sh. The user's
// answers cost nothing here: every question is answered OK at once, so the figures are
// the copy's own work.
//
//   copybench SOURCE WORK ROUNDS
//
// Each round, in turns: the bare loop into WORK\bare, setup's copy into the new folder
// WORK\fresh (as the wizard makes it) and committed, and setup's copy again over it,
// replacing every file (each old file kept aside, then the kept copies deleted). Prints
// the medians in milliseconds: "bare fresh replace". Exit codes: 0 measured; 1 a copy
// failed (a message on standard error); 2 bad usage.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "clock.h"
#include "driver.h"
#include "install/copy.h"
#include "install/journal.h"
#include "install/scan.h"
#include "shell/state.h"
#include "resource.h"

enum { Measured = 0, Failed = 1, BadUsage = 2 };

void PumpMessages(void)
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

HWND CreateProgressPage(void)
{
    HWND page = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 60, MainWindow, NULL,
                                GetModuleHandleA(NULL), NULL);
    CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 329, 20, page,
                    (HMENU)(INT_PTR)IDC_PROGRESS_BAR, GetModuleHandleA(NULL), NULL);
    return page;
}

void ShowError(HWND, const char *text)
{
    fprintf(stderr, "copybench: %s\n", text);
}

int AskToGoAhead(HWND, const char *)
{
    return 1;
}

// The bare loop over setup's own file list, the scan included, as setup's copy scans too.
static bool BareCopy(const std::string &source, const std::string &target)
{
    FileCount = 0;
    ScanTree(source.c_str());
    if (!CreateDirectoryA(target.c_str(), NULL))
        return false;
    for (int i = 0; i < FileCount; i++) {
        std::string path = FilePaths[i];
        std::string to = target + path.substr(source.size());
        if (path.back() == '\\') {
            to.pop_back();
            if (!CreateDirectoryA(to.c_str(), NULL))
                return false;
        } else if (!CopyFileA(path.c_str(), to.c_str(), TRUE)) {
            return false;
        }
    }
    return true;
}

// Setup's copy as the wizard runs it: the folder made first when it is new, the journal
// committed once the copy has finished.
static bool SetupCopy(const std::string &source, const std::string &target, bool fresh)
{
    CopyJournal.installMade = 0;
    if (fresh) {
        if (!CreateDirectoryA(target.c_str(), NULL))
            return false;
        CopyJournal.installMade = 1;
    }
    return CopyTree(source.c_str(), target.c_str()) >= 0 && CommitCopy() == 0;
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int count, char **arguments)
{
    if (count != 4 || atoi(arguments[3]) < 1) {
        fprintf(stderr, "usage: copybench SOURCE WORK ROUNDS\n");
        return BadUsage;
    }
    std::string source = arguments[1], work = arguments[2];
    int rounds = atoi(arguments[3]);
    std::string bare = work + "\\bare", fresh = work + "\\fresh";
    std::vector<double> bareTimes, freshTimes, replaceTimes;

    InitCommonControls();
    MainWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                 GetModuleHandleA(NULL), NULL);
    CreateDirectoryA(work.c_str(), NULL);
    for (int round = 0; round < rounds; round++) {
        // The copy leaves its install directory the current one, which cannot be removed.
        SetCurrentDirectoryA(work.c_str());
        RemoveFolderTree(bare.c_str());
        RemoveFolderTree(fresh.c_str());
        double start = Now();
        if (!BareCopy(source, bare)) {
            fprintf(stderr, "copybench: the bare loop failed\n");
            return Failed;
        }
        bareTimes.push_back(Now() - start);
        start = Now();
        if (!SetupCopy(source, fresh, true)) {
            fprintf(stderr, "copybench: the copy into a new folder failed\n");
            return Failed;
        }
        freshTimes.push_back(Now() - start);
        start = Now();
        if (!SetupCopy(source, fresh, false)) {
            fprintf(stderr, "copybench: the copy over the earlier one failed\n");
            return Failed;
        }
        replaceTimes.push_back(Now() - start);
    }
    SetCurrentDirectoryA(work.c_str());
    RemoveFolderTree(bare.c_str());
    RemoveFolderTree(fresh.c_str());
    printf("%.0f %.0f %.0f\n", Median(bareTimes), Median(freshTimes), Median(replaceTimes));
    return Measured;
}
