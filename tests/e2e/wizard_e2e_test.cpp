// The wizard as a user meets it: the real setup.exe (in place) and setup-copy.exe driven
// through their pages from outside, in scratch folders on C:.
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver.h"
#include "pages_walk.h"
#include "resource.h"
#include "setup_run.h"

namespace {

// setup as inst.exe in its scratch folder, with the probe that stands in for orvane beside
// it (so the in-place build's deletion of setup.exe touches nothing).
bool PrepareWithProbe(SetupRun &run, const char *name, const char *program)
{
    return run.Prepare(name, program) &&
           CopyBuiltProgram("probes\\orvane.exe", run.folder.c_str(), "orvane.exe");
}

// A key or the close box that the page must ignore.
void ExpectIgnored(HWND page, bool (*act)(HWND), const char *what)
{
    ASSERT_TRUE(act(page)) << what;
    EXPECT_TRUE(WaitUntilHandled(page, PageAppearMilliseconds)) << what << " ended the page";
}

bool Escape(HWND page) { return PressKey(page, KeyEscape); }
bool Enter(HWND page) { return PressKey(page, KeyEnter); }
bool CloseBox(HWND page) { return PressCloseBox(page); }

std::string Text(HWND dialog, int id)
{
    char text[8192];
    ReadControlText(dialog, id, text, sizeof text);
    return text;
}

const char Untouched[] = "brindle.exe inst.exe orvane.exe";

// Whether the stand-in main program runs anywhere in the session; true when that cannot
// be told.
bool ProbeRuns()
{
    PROCESSENTRY32 process;
    bool found = false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);

    if (snapshot == INVALID_HANDLE_VALUE)
        return true;
    process.dwSize = sizeof process;
    for (BOOL more = Process32First(snapshot, &process); more && !found;
         more = Process32Next(snapshot, &process))
        found = !lstrcmpiA(process.szExeFile, "orvane.exe");
    CloseHandle(snapshot);
    return found;
}

bool WaitUntilNoProbeRuns()
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < PageAppearMilliseconds;
         Sleep(50))
        if (!ProbeRuns())
            return true;
    return false;
}

TEST(WizardE2E, EveryBranchOfWelcomeLicenceAndExitThenExitSetup)
{
    SetupRun run;
    ASSERT_TRUE(PrepareWithProbe(run, "walk", "setup.exe") && run.Start());
    struct {
        const char *page;
        int button;
    } steps[] = {
        {WelcomeCaption, IDCANCEL}, {ExitCaption, IDC_BACK},   // welcome again
        {WelcomeCaption, IDC_NEXT}, {LicenceCaption, IDC_BACK}, // welcome again
        {WelcomeCaption, IDC_NEXT}, {LicenceCaption, IDNO},
        {ExitCaption, IDC_BACK},    {LicenceCaption, IDNO},     // licence again
        {ExitCaption, IDC_EXIT_SETUP},
    };
    for (auto &step : steps) {
        HWND page = run.WaitPage(step.page);
        ASSERT_TRUE(page) << "no page \"" << step.page << "\"";
        if (!strcmp(step.page, LicenceCaption)) {
            EXPECT_EQ(5097u, Text(page, IDC_LICENCE_TEXT).size()) << "licence shown";
        }
        Press(page, step.button);
    }
    EXPECT_EQ(0, run.Exit());
    EXPECT_EQ(Untouched, FolderListing(run.folder)) << "nothing written";
}

TEST(WizardE2E, EscapeAndCloseBoxCancelOnlyWhereThereIsCancel)
{
    SetupRun run;
    ASSERT_TRUE(PrepareWithProbe(run, "keys", "setup.exe") && run.Start());
    for (bool (*leave)(HWND) : {Escape, CloseBox}) {
        HWND welcome = run.WaitPage(WelcomeCaption);
        ASSERT_TRUE(welcome);
        ASSERT_TRUE(leave(welcome));
        HWND exitPage = run.WaitPage(ExitCaption);
        ASSERT_TRUE(exitPage) << "welcome page not cancelled";
        ExpectIgnored(exitPage, Escape, "Escape on the exit page");
        ExpectIgnored(exitPage, CloseBox, "close box of the exit page");
        Press(exitPage, IDC_BACK);
    }
    HWND welcome = run.WaitPage(WelcomeCaption);
    ASSERT_TRUE(welcome);
    Press(welcome, IDC_NEXT);
    HWND licence = run.WaitPage(LicenceCaption);
    ASSERT_TRUE(licence);
    WindowFacts facts;
    ASSERT_TRUE(ReadWindowFacts(licence, &facts));
    EXPECT_EQ(0, facts.style & WS_SYSMENU) << "licence page has a close box";
    ExpectIgnored(licence, Escape, "Escape on the licence page");
    ExpectIgnored(licence, [](HWND page) { return RequestClose(page); },
                  "close request (Alt+F4) to the licence page");
    Press(licence, IDYES);

    HWND completed = run.WaitPage(CompletedCaption);
    ASSERT_TRUE(completed);
    ExpectIgnored(completed, Escape, "Escape on the completion page");
    ExpectIgnored(completed, CloseBox, "close box of the completion page");
    Press(completed, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
    // A main program started by mistake would be running now, or would have written its
    // record already.
    EXPECT_TRUE(WaitUntilNoProbeRuns()) << "the main program was started";
    EXPECT_EQ(Untouched, FolderListing(run.folder)) << "Exit Setup started nothing";
}

// The completion page's button starts the main program with the install folder as its
// argument.
TEST(WizardE2E, CompletionPageStartsTheMainProgram)
{
    SetupRun run;
    ASSERT_TRUE(PrepareWithProbe(run, "orvane", "setup.exe") && run.Start());
    AcceptLicence(run.setup.program.processId);
    HWND completed = run.WaitPage(CompletedCaption);
    ASSERT_TRUE(completed);
    Press(completed, IDC_START_MAIN);
    EXPECT_EQ(0, run.Exit());
    std::string command = run.folder + "\\orvane " + run.folder;
    EXPECT_EQ(command, WaitForFileText(run.folder + "\\orvane-command.txt", command));
}

// In place, the folder setup runs from is refused before any page, and nothing is written.
TEST(WizardE2E, UnusableFolderGivesOnlyItsErrorAndCloses)
{
    struct {
        const char *folder, *message;
    } cases[] = {
        {"with blank", "Space characters in the install directory are not allowed\n\n"
                       "Delete this directory and files and start installation again"},
        {"a-folder-whose-path-is-far-too-long-to-be-read-as-the-current-directory-"
         "by-setup-because-it-reads-at-most-one-hundred-and-forty-nine-characters",
         "The setup directory path is too long\n\n"
         "Move the files to a shorter path and start installation again"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.folder);
        SetupRun run;
        ASSERT_TRUE(PrepareWithProbe(run, c.folder, "setup.exe") && run.Start());
        HWND box = run.WaitBox("Error");
        ASSERT_TRUE(box);
        EXPECT_EQ(c.message, BoxText(box));
        EXPECT_FALSE(run.WaitPage(WelcomeCaption, 0)) << "a page came up";
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        EXPECT_EQ(3, run.Exit()) << "setup's own folder was refused";
        EXPECT_EQ(Untouched, FolderListing(run.folder));
    }
}

// Copy mode: a scratch folder with a small tree to install below veltrane.
bool PrepareCopy(SetupRun &run, const char *name)
{
    return PrepareWithProbe(run, name, "setup-copy.exe") &&
           WriteTextFile((run.source + "\\readme.txt").c_str(), "Veltrane\r\n") && run.Start();
}

// Answers whatever error boxes the copy raises until the completion page is up.
HWND WaitForCompletion(SetupRun &run)
{
    DWORD bound = CaseMilliseconds(CopyMilliseconds);
    for (DWORD start = GetTickCount(); GetTickCount() - start < bound;) {
        HWND completed = run.WaitPage(CompletedCaption, 400);
        if (completed)
            return completed;
        if (HWND box = run.WaitBox("Error", 0))
            AnswerMessageBox(box, IDOK);
    }
    return NULL;
}

TEST(WizardE2E, DirectoryPageChecksTheEntry)
{
    SetupRun run;
    ASSERT_TRUE(PrepareCopy(run, "entries"));
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    EXPECT_EQ("c:\\veltrane", Text(page, IDC_DIRECTORY_EDIT));
    EXPECT_EQ(GetDlgItem(page, IDOK), WaitForKeyboardFocus(page)) << "focus is not on OK";

    // Escape and the close box cancel, and Cancel hands back the text unchanged.
    for (bool (*leave)(HWND) : {Escape, CloseBox}) {
        ASSERT_TRUE(leave(page));
        HWND exitPage = run.WaitPage(ExitCaption);
        ASSERT_TRUE(exitPage) << "directory page not cancelled";
        Press(exitPage, IDC_BACK);
        page = run.WaitPage(DirectoryCaption);
        ASSERT_TRUE(page);
        EXPECT_EQ("c:\\veltrane", Text(page, IDC_DIRECTORY_EDIT));
    }

    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, "c:\\my dir"));
    ASSERT_TRUE(PressButton(page, IDOK));
    HWND box = run.WaitBox("Error");
    ASSERT_TRUE(box);
    EXPECT_EQ("Space characters in the install directory are not allowed", BoxText(box));
    EXPECT_EQ(page, GetWindow(box, GW_OWNER)) << "the page owns its message";
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ASSERT_TRUE(WaitForWindowGone(box, PageGoneMilliseconds));
    EXPECT_EQ("c:\\my dir", Text(page, IDC_DIRECTORY_EDIT));

    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, "\b"));  // an empty entry
    ASSERT_TRUE(PressButton(page, IDOK));
    EXPECT_TRUE(WaitUntilHandled(page, PageAppearMilliseconds)) << "empty entry accepted";
    EXPECT_FALSE(run.WaitBox("Error", 0)) << "empty entry reported";

    // Cancel and Back: the page comes again with the empty text the last OK read.
    Press(page, IDCANCEL);
    HWND exitPage = run.WaitPage(ExitCaption);
    ASSERT_TRUE(exitPage);
    Press(exitPage, IDC_BACK);
    page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    EXPECT_EQ("", Text(page, IDC_DIRECTORY_EDIT));

    // A drive root is asked about without its backslash; Cancel on the question shows it
    // again whole, and the page takes it as shown.
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, "c:\\"));
    ASSERT_TRUE(Enter(page));
    box = run.WaitBox("Message");
    ASSERT_TRUE(box);
    EXPECT_EQ("Directory c: exists overwrite ?", BoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    EXPECT_EQ("c:\\", Text(page, IDC_DIRECTORY_EDIT));

    // 120 characters without a blank: the first 99 are taken, and made as a folder.
    std::string entry = run.folder + "\\";
    entry += std::string(120 - entry.size(), 'd');
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, entry.c_str()));
    Press(page, IDOK);
    HWND completed = WaitForCompletion(run);
    ASSERT_TRUE(completed);
    EXPECT_TRUE(FileExists(entry.substr(0, 99).c_str())) << entry.substr(0, 99);
    EXPECT_FALSE(FileExists(entry.substr(0, 100).c_str()));
    Press(completed, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
}

TEST(WizardE2E, DefaultFolderWithEnterAndAnUncreatableOne)
{
    // The default exists: Enter accepts it at once, and OK on the question installs there.
    CreateDirectoryA("c:\\veltrane", NULL);
    {
        SetupRun run;
        ASSERT_TRUE(PrepareCopy(run, "default"));
        AcceptLicence(run.setup.program.processId);
        HWND page = run.WaitPage(DirectoryCaption);
        ASSERT_TRUE(page);
        ASSERT_TRUE(Enter(page));
        HWND box = run.WaitBox("Message");
        ASSERT_TRUE(box);
        EXPECT_EQ("Directory c:\\veltrane exists overwrite ?", BoxText(box));
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        HWND completed = WaitForCompletion(run);
        ASSERT_TRUE(completed);
        Press(completed, IDC_EXIT_SETUP);
        EXPECT_EQ(0, run.Exit());
    }
    RemoveFolderTree("c:\\veltrane");

    // A folder that cannot be made is reported, and the page asks again with the text.
    SetupRun run;
    ASSERT_TRUE(PrepareCopy(run, "uncreatable"));
    AcceptLicence(run.setup.program.processId);
    HWND page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page);
    std::string target = run.folder + "\\absent\\deeper";
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, target.c_str()));
    Press(page, IDOK);
    HWND box = run.WaitBox("Error");
    ASSERT_TRUE(box);
    EXPECT_EQ("Can not create directory " + target, BoxText(box));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    page = run.WaitPage(DirectoryCaption);
    ASSERT_TRUE(page) << "the directory page did not come again";
    EXPECT_EQ(target, Text(page, IDC_DIRECTORY_EDIT));
    ASSERT_TRUE(TypeIntoEdit(page, IDC_DIRECTORY_EDIT, (run.folder + "\\made").c_str()));
    Press(page, IDOK);
    HWND completed = WaitForCompletion(run);
    ASSERT_TRUE(completed);
    Press(completed, IDC_EXIT_SETUP);
    EXPECT_EQ(0, run.Exit());
    EXPECT_TRUE(FileExists((run.folder + "\\made\\readme.txt").c_str())) << "not installed";
}

}  // namespace
