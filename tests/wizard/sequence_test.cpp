// The wizard sequence against recorded stand-ins for its pages, message boxes and
// installation steps: every path through the pages, in the install mode of this build
// (the program is built once in place and once in copy mode). The directory tests work
// on real folders, since the sequence tests them by changing into and making them.
#include <windows.h>
#include <direct.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "config/linkscript.h"
#include "config/startfile.h"
#include "install/copy.h"
#include "install/journal.h"
#include "shell/msgbox.h"
#include "shell/state.h"
#include "wizard/pages.h"
#include "wizard/wizard.h"
#include "resource.h"

namespace {

std::deque<int> Answers;          // page results and message-box answers, in call order
std::deque<std::string> Entries;  // what each showing of the directory page leaves behind
std::string Log;

void Record(const std::string &event)
{
    Log += (Log.empty() ? "" : " | ") + event;
}

// A page that has no scripted answer cannot be shown, which ends the sequence.
int NextAnswer()
{
    if (Answers.empty())
        return -1;
    int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::string Kind(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return " (missing)";
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? " (folder)" : " (file)";
}

}  // namespace

INT_PTR ShowWelcomePage(void)
{
    Record("welcome");
    return NextAnswer();
}

INT_PTR ShowLicencePage(void)
{
    Record("licence");
    return NextAnswer();
}

INT_PTR ShowExitPage(void)
{
    Record("exit");
    return NextAnswer();
}

// "=" leaves the buffer as the sequence gave it.
INT_PTR ShowDirectoryPage(char *directory)
{
    Record(std::string("directory ") + directory);
    if (!Entries.empty()) {
        if (Entries.front() != "=")
            snprintf(directory, PathBufferSize, "%s", Entries.front().c_str());
        Entries.pop_front();
    }
    return NextAnswer();
}

void ShowError(HWND owner, const char *text)
{
    EXPECT_EQ(MainWindow, owner) << text;
    Record(std::string("error ") + text);
}

void ShowNotice(HWND owner, const char *text)
{
    EXPECT_EQ(MainWindow, owner) << text;
    Record(std::string("notice ") + text);
}

int AskToGoAhead(HWND owner, const char *text)
{
    EXPECT_EQ(MainWindow, owner) << text;
    Record(std::string("ask ") + text);
    return NextAnswer() == IDOK;
}

// The configuration steps fail on purpose: the sequence must go on whatever they return.
// The copy fails only into a folder named "stopped"; into one named "full" the user
// declines it the first time.
int DeclinedCopies;
int CopyTree(const char *source, const char *install)
{
    Record(std::string("copy ") + source + " > " + install + Kind(install));
    if (std::string(install).find("full") != std::string::npos && DeclinedCopies++ == 0)
        return CopyDeclined;
    return std::string(install).find("stopped") != std::string::npos ? -2 : 0;
}

int CommitCopy(void)
{
    Record("commit");
    return 0;
}

// As the journal, it removes the install directory when this run made it.
int RollBackCopy(void)
{
    Record("roll back");
    if (CopyJournal.installMade)
        RemoveDirectoryA(InstallDirectory);
    return 0;
}

// A folder named "killed" holds what an interrupted run set aside.
int RestoreKeptCopies(const char *install)
{
    return std::string(install).find("killed") != std::string::npos ? 2 : 0;
}

int ExpandStartFile(const char *source, const char *install)
{
    Record(std::string("expand ") + source + " > " + install);
    return -1;
}

int WriteLinkScript(const char *install)
{
    Record(std::string("links ") + install);
    return -1;
}

namespace {

LRESULT CALLBACK MainWindowStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        Record("close");
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

enum { Both = -1 };
const int Next = IDC_NEXT, Back = IDC_BACK, ExitSetup = IDC_EXIT_SETUP;

struct Case {
    const char *name;
    int inPlace;  // the build this case belongs to, or Both
    const char *source;
    int sourceTooLong;
    std::vector<int> answers;
    std::vector<std::string> entries;
    const char *log;  // <T> is the scratch folder; "finished" when InstallFinished is set
};

const Case Cases[] = {
    {"licence accepted at once", 1, "C:\\suite", 0, {Next, IDYES}, {},
     "welcome | licence | expand C:\\suite > C:\\suite | links C:\\suite | finished"},
    {"Cancel then Back shows the welcome page again", 1, "C:\\suite", 0,
     {IDCANCEL, Back, Next, IDYES}, {},
     "welcome | exit | welcome | licence | expand C:\\suite > C:\\suite | links C:\\suite"
     " | finished"},
    {"Back on the licence goes to the welcome page", 1, "C:\\suite", 0,
     {Next, Back, Next, IDYES}, {},
     "welcome | licence | welcome | licence | expand C:\\suite > C:\\suite"
     " | links C:\\suite | finished"},
    {"No then Back shows the licence again", 1, "C:\\suite", 0, {Next, IDNO, Back, IDYES}, {},
     "welcome | licence | exit | licence | expand C:\\suite > C:\\suite | links C:\\suite"
     " | finished"},
    {"No then Exit Setup closes", Both, "C:\\suite", 0, {Next, IDNO, ExitSetup}, {},
     "welcome | licence | exit | close"},
    {"Cancel then Exit Setup closes", Both, "C:\\suite", 0, {IDCANCEL, ExitSetup}, {},
     "welcome | exit | close"},
    {"a blank in the folder is refused before any page", 1, "C:\\my suite", 0, {}, {},
     "error Space characters in the install directory are not allowed\n\n"
     "Delete this directory and files and start installation again | close | exit code 3"},
    {"a copy-mode source with a blank is fine", 0, "C:\\my suite\\veltrane", 0,
     {Next, IDYES, IDOK}, {"<T>\\new"},
     "welcome | licence | directory c:\\veltrane"
     " | copy C:\\my suite\\veltrane > <T>\\new (folder)"
     " | commit | expand C:\\my suite\\veltrane > <T>\\new | links <T>\\new | finished"},
    {"a folder path too long to read is refused before any page", Both, "", 1, {}, {},
     "error The setup directory path is too long\n\n"
     "Move the files to a shorter path and start installation again | close | exit code 3"},
    {"a welcome page that cannot be shown ends setup", Both, "C:\\suite", 0, {-1}, {},
     "welcome | close"},
    {"a licence page that cannot be shown ends setup", Both, "C:\\suite", 0, {Next, -1}, {},
     "welcome | licence | close"},
    {"a new folder is made, then copied into", 0, "C:\\src\\veltrane", 0,
     {Next, IDYES, IDOK}, {"<T>\\new"},
     "welcome | licence | directory c:\\veltrane | copy C:\\src\\veltrane > <T>\\new (folder)"
     " | commit | expand C:\\src\\veltrane > <T>\\new | links <T>\\new | finished"},
    {"an existing folder is used after OK, without its final backslash", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK, IDOK}, {"<T>\\old\\"},
     "welcome | licence | directory c:\\veltrane | ask Directory <T>\\old exists overwrite ?"
     " | copy C:\\src\\veltrane > <T>\\old (folder) | commit | expand C:\\src\\veltrane > <T>\\old"
     " | links <T>\\old | finished"},
    {"Cancel on overwrite shows the page again with the entry", 0, "C:\\src\\veltrane", 0,
     {Next, IDYES, IDOK, IDCANCEL, IDOK, IDOK}, {"<T>\\old\\", "="},
     "welcome | licence | directory c:\\veltrane | ask Directory <T>\\old exists overwrite ?"
     " | directory <T>\\old | ask Directory <T>\\old exists overwrite ?"
     " | copy C:\\src\\veltrane > <T>\\old (folder) | commit | expand C:\\src\\veltrane > <T>\\old"
     " | links <T>\\old | finished"},
    {"a folder that cannot be made is reported and the page comes again", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK}, {"<T>\\absent\\deeper"},
     "welcome | licence | directory c:\\veltrane"
     " | error Can not create directory <T>\\absent\\deeper | directory <T>\\absent\\deeper"
     " | close"},
    {"a copy that did not finish ends setup with exit code 1 and no other step", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK}, {"<T>\\stopped"},
     "welcome | licence | directory c:\\veltrane | copy C:\\src\\veltrane > <T>\\stopped (folder)"
     " | roll back | error Veltrane was not installed\n\nSetup could not copy all of its files | close"
     " | exit code 1"},
    {"Cancel then Back shows the page with the text it handed back", 0, "C:\\src\\veltrane",
     0, {Next, IDYES, IDCANCEL, Back, IDOK}, {"<T>\\typed", "="},
     "welcome | licence | directory c:\\veltrane | exit | directory <T>\\typed"
     " | copy C:\\src\\veltrane > <T>\\typed (folder) | commit | expand C:\\src\\veltrane > <T>\\typed"
     " | links <T>\\typed | finished"},
    {"Cancel then Exit Setup on the directory page closes", 0, "C:\\src\\veltrane", 0,
     {Next, IDYES, IDCANCEL, ExitSetup}, {},
     "welcome | licence | directory c:\\veltrane | exit | close"},
    {"a drive root is asked about as c: and shown again as c:\\; a page that fails ends", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK, IDCANCEL}, {"c:\\"},
     "welcome | licence | directory c:\\veltrane | ask Directory c: exists overwrite ?"
     " | directory c:\\ | close"},
    {"a lone backslash is refused and the page shows it again", 0, "C:\\src\\veltrane", 0,
     {Next, IDYES, IDOK}, {"\\"},
     "welcome | licence | directory c:\\veltrane | error The install directory \\ is not a"
     " full path\n\nType a drive letter, a colon and a backslash followed by folder names,"
     " such as c:\\veltrane | directory \\ | close"},
    {"a copy declined for want of space shows the page again, the folder gone", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK, IDOK}, {"<T>\\full", "="},
     "welcome | licence | directory c:\\veltrane | copy C:\\src\\veltrane > <T>\\full (folder)"
     " | roll back | directory <T>\\full | copy C:\\src\\veltrane > <T>\\full (folder)"
     " | commit | expand C:\\src\\veltrane > <T>\\full | links <T>\\full | finished"},
    {"what an interrupted run set aside is put back before the question", 0,
     "C:\\src\\veltrane", 0, {Next, IDYES, IDOK, IDCANCEL, IDCANCEL, ExitSetup}, {"<T>\\killed"},
     "welcome | licence | directory c:\\veltrane | notice An earlier installation into"
     " <T>\\killed did not finish\n\nSetup has put back the files it had replaced"
     " | ask Directory <T>\\killed exists overwrite ? | directory <T>\\killed | exit | close"},
};

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

class WizardSequence : public testing::Test {
protected:
    std::string scratch;

    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = MainWindowStandIn;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "INSTALL";
        RegisterClassA(&windowClass);
        MainWindow = CreateWindowExA(0, "INSTALL", "main", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                     GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(MainWindow != NULL);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        scratch = std::string(temp) + "wizard-sequence";
        _chdir(temp);
        CreateDirectoryA(scratch.c_str(), NULL);
        CreateDirectoryA((scratch + "\\old").c_str(), NULL);
        CreateDirectoryA((scratch + "\\killed").c_str(), NULL);
        DeclinedCopies = 0;
    }

    void TearDown() override
    {
        _chdir("\\");
        for (const char *name : {"\\new", "\\typed", "\\stopped", "\\full"})
            RemoveDirectoryA((scratch + name).c_str());
        DestroyWindow(MainWindow);
    }
};

TEST_F(WizardSequence, FollowsTheUsersAnswers)
{
    int ran = 0;
    for (const Case &c : Cases) {
        if (c.inPlace != Both && c.inPlace != InPlaceInstall)
            continue;
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        snprintf(SourceDirectory, sizeof SourceDirectory, "%s", c.source);
        SourceDirectoryTooLong = c.sourceTooLong;
        InstallDirectory[0] = 0;
        InstallFinished = 0;
        SetupExitCode = 0;
        Answers.assign(c.answers.begin(), c.answers.end());
        Entries.clear();
        for (const std::string &entry : c.entries)
            Entries.push_back(Replace(entry, "<T>", scratch));
        Log.clear();

        RunWizard();
        if (InstallFinished)
            Record("finished");
        if (SetupExitCode)
            Record("exit code " + std::to_string(SetupExitCode));
        EXPECT_EQ(Replace(c.log, "<T>", scratch), Log);
        EXPECT_TRUE(Answers.empty()) << Answers.size() << " answers left";
        ran++;
    }
    EXPECT_GE(ran, 9) << "cases of this mode";
}

}  // namespace
