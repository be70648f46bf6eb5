// One run of the real setup program, driven from outside through its pages and message
// boxes. Every wait is bounded; a run that is still going when a test leaves is killed.
#ifndef VELTRANE_E2E_SETUP_RUN_H
#define VELTRANE_E2E_SETUP_RUN_H

#include <windows.h>

#include <string>
#include <vector>

#include "driver.h"
#include "pages_walk.h"

enum {
    CopyMilliseconds = 180000,  // the longest a copy may take here
};

struct SetupRun {
    ScopedProgram setup;
    std::string folder;  // where setup runs: its current directory
    std::string source;  // copy mode: the tree to install, folder\veltrane

    // Makes the scratch folder C:\veltrane-e2e\<name> (emptied), or `deeper` below it
    // when given, and copies the built `program` ("setup.exe" or "setup-copy.exe") into
    // it as inst.exe. The source folder is made in copy mode.
    bool Prepare(const char *name, const char *program, const std::string &deeper = "");
    // In place from `folder` (made when missing): the sample suite, setup.exe as inst.exe
    // and brindle.exe.
    bool PrepareSuite(const std::string &folder);
    bool Start();
    HWND WaitPage(const char *caption, DWORD milliseconds = PageAppearMilliseconds);
    HWND WaitBox(const char *caption, DWORD milliseconds = PageAppearMilliseconds);
    HWND MainWindow();
    long Exit();  // exit code, or ExitCodeStillRunning
};

std::string BoxText(HWND box);

// Copies the sample suite built beside the shipped programs (sample\veltrane) into
// `folder`, made when missing; ANSI calls throughout, so that the names of any code page
// pass.
bool CopySampleSuite(const std::string &folder);

// Copy mode: `directory` typed into the directory page and accepted with OK; the question
// about an existing directory is answered OK.
void ChooseInstallDirectory(SetupRun &run, const std::string &directory, bool exists);

struct BoxSeen {
    std::string caption;
    std::string text;
};
std::string Describe(const std::vector<BoxSeen> &boxes);
// Answers every message box, OK unless `cancel` picks a question ("Message") for Cancel,
// until the completion page is up; returns it, or NULL when setup ended without it or it
// never came.
HWND AnswerUntilCompleted(SetupRun &run, std::vector<BoxSeen> *seen,
                          bool (*cancel)(const std::string &text) = NULL);
// A file another program writes in its own time: waits until it holds `expected`; returns
// what it held last ("" when it could not be read).
std::string WaitForFileText(const std::string &path, const std::string &expected);

// The one box after a copy that did not finish, before setup ends with exit code 1.
extern const char NotInstalledText[];

// "Exit Setup" on the completion page; the run's exit code.
long FinishSetup(SetupRun &run, HWND completed);

#endif
