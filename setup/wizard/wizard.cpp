// The wizard sequence: welcome and licence, the install directory, then the installation
// steps. Each step reports its own errors; only a copy that did not finish, or a main
// window closed during it, ends the installation there, and then the install directory is
// put back as it was before the copy.
#include <string.h>

#include "wizard/wizard.h"
#include "wizard/installdir.h"
#include "wizard/pages.h"
#include "config/linefile.h"
#include "config/linkscript.h"
#include "config/startfile.h"
#include "install/copy.h"
#include "install/journal.h"
#include "shell/msgbox.h"
#include "shell/state.h"
#include "shell/text.h"
#include "resource.h"

static const char DefaultInstallDirectory[] = "c:\\veltrane";

// The window destroys itself and the run ends through the exit clean-up.
static void CloseSetup(void)
{
    SendMessageA(MainWindow, WM_CLOSE, 0, 0);
}

static int ConfirmExit(void)
{
    return ShowExitPage() == IDC_EXIT_SETUP;
}

// Refuses a source directory that cannot be installed from; 1 when setup may go on.
static int CheckSourceDirectory(void)
{
    if (SourceDirectoryTooLong) {
        SetupExitCode = ExitCodeFolderRefused;
        ShowError(MainWindow, "The setup directory path is too long\n\n"
                              "Move the files to a shorter path and start installation again");
        return 0;
    }
    // In place the source directory becomes the install directory, where no blank may be.
    if (InPlaceInstall && strchr(SourceDirectory, ' ')) {
        SetupExitCode = ExitCodeFolderRefused;
        ShowError(MainWindow, "Space characters in the install directory are not allowed\n\n"
                              "Delete this directory and files and start installation again");
        return 0;
    }
    return 1;
}

enum LicenceOutcome { LicenceAccepted, LicenceLeft, LicenceBack };

static LicenceOutcome RunLicencePage(void)
{
    for (;;) {
        switch (ShowLicencePage()) {
        case IDYES:
            return LicenceAccepted;
        case IDC_BACK:
            return LicenceBack;
        case IDNO:
            if (ConfirmExit())
                return LicenceLeft;
            break;
        default:
            // The page cannot be shown: showing it again would loop for ever.
            return LicenceLeft;
        }
    }
}

// 1 once the licence is accepted, 0 when the user leaves setup.
static int RunWelcomeAndLicence(void)
{
    for (;;) {
        switch (ShowWelcomePage()) {
        case IDCANCEL:
            if (ConfirmExit())
                return 0;
            break;
        case IDC_NEXT:
            switch (RunLicencePage()) {
            case LicenceAccepted:
                return 1;
            case LicenceLeft:
                return 0;
            case LicenceBack:
                break;
            }
            break;
        default:
            return 0;  // the page cannot be shown; nothing may be installed unasked
        }
    }
}

static void DropTrailingBackslash(char *directory)
{
    size_t length = strlen(directory);

    // In a double-byte code page the last byte may be the second one of a character.
    if (length >= 2 && EndsInBackslash(directory))
        directory[length - 1] = 0;
}

// Only a full local path may become the install directory: anything else is named with
// what is wrong with it, and the page asks again with the text as typed. 1 when accepted.
static int AcceptEntry(void)
{
    char text[sizeof "The install directory " + 3 * PathBufferSize];

    if (JudgeInstallDirectory(InstallDirectory, text, sizeof text) == 0)
        return 1;
    ShowError(MainWindow, text);
    return 0;
}

// Kept copies that could not be put back or deleted stay where the user can find them.
static void ShowKeptCopiesLeft(const char *install)
{
    char folder[PathBufferSize + sizeof KeptFolderName + 1];
    char text[sizeof folder + 128];

    JoinDirectory(folder, sizeof folder, install, "\\" KeptFolderName);
    FormatText(text, sizeof text,
               "Setup could not put back or remove every file it had set aside\n\n"
               "They are in %s", folder);
    ShowError(MainWindow, text);
}

// Files that a run killed during its copy had set aside go back before anything else.
static void PutBackInterruptedCopy(void)
{
    char text[2 * PathBufferSize + 128];
    int restored = RestoreKeptCopies(InstallDirectory);

    if (restored > 0) {
        FormatText(text, sizeof text,
                   "An earlier installation into %s did not finish\n\n"
                   "Setup has put back the files it had replaced", InstallDirectory);
        ShowNotice(MainWindow, text);
    } else if (restored < 0) {
        ShowKeptCopiesLeft(InstallDirectory);
    }
}

// An existing directory needs the user's go-ahead and a missing one is made; one that can
// be neither is reported, and nothing is installed into it. 1 to go on, 0 to ask again.
static int PrepareInstallDirectory(void)
{
    char directory[PathBufferSize + 1];
    char text[PathBufferSize];

    CopyJournal.installMade = 0;
    // A drive's root is kept as "c:", which alone would be that drive's current folder.
    JoinDirectory(directory, sizeof directory, InstallDirectory, "");
    // On success the directory stays the current one for the rest of the run.
    if (SetCurrentDirectoryA(directory)) {
        PutBackInterruptedCopy();
        FormatText(text, sizeof text, "Directory %s exists overwrite ?", InstallDirectory);
        return AskToGoAhead(MainWindow, text);
    }
    if (CreateDirectoryA(directory, NULL)) {
        CopyJournal.installMade = 1;
        return 1;
    }
    FormatText(text, sizeof text, "Can not create directory %s", InstallDirectory);
    ShowError(MainWindow, text);
    return 0;
}

// The page comes again with the directory the question named; a drive's root goes back as
// "c:\", for "c:" alone is no full path and the page would refuse what it showed.
static void ShowRootWhole(void)
{
    char directory[PathBufferSize];

    JoinDirectory(directory, sizeof directory, InstallDirectory, "");
    FormatText(InstallDirectory, sizeof InstallDirectory, "%s", directory);
}

// Copy mode: 1 once the install directory is chosen, 0 when the user leaves setup. The
// page shows the install directory's text, the default at first.
static int ChooseInstallDirectory(void)
{
    for (;;) {
        switch (ShowDirectoryPage(InstallDirectory)) {
        case IDCANCEL:
            if (ConfirmExit())
                return 0;
            break;
        case IDOK:
            if (!AcceptEntry())
                break;
            DropTrailingBackslash(InstallDirectory);
            if (PrepareInstallDirectory())
                return 1;
            ShowRootWhole();
            break;
        default:
            return 0;  // the page cannot be shown: no directory was chosen
        }
    }
}

// A configuration file or links.inf that could not be written whole: the user hears of it
// at once, and the installation goes on.
static void ShowUnwrittenFile(const char *path)
{
    char text[sizeof "Could not write file " + 2 * PathBufferSize];

    FormatText(text, sizeof text, "Could not write file %s", path);
    ShowError(MainWindow, text);
}

// A copy that stopped or a tree refused whole leaves no suite to configure: the install
// directory is put back as it was, no file is generated, no program group is made, and
// setup ends with ExitCodeNotInstalled.
static void EndNotInstalled(void)
{
    int putBack = RollBackCopy();

    ShowError(MainWindow, "Veltrane was not installed\n\nSetup could not copy all of its files");
    if (putBack < 0)
        ShowKeptCopiesLeft(CopyJournal.install);
    SetupExitCode = ExitCodeNotInstalled;
    CloseSetup();
}

// Copy mode: chooses the install directory and copies the tree into it, again from the
// page when the user chose another directory for want of space. 1 once the whole tree is
// there; 0 when it is not, and the run is ending.
static int InstallTree(void)
{
    int copied;

    FormatText(InstallDirectory, sizeof InstallDirectory, "%s", DefaultInstallDirectory);
    for (;;) {
        if (!ChooseInstallDirectory()) {
            CloseSetup();
            return 0;
        }
        copied = CopyTree(SourceDirectory, InstallDirectory);
        if (copied != CopyDeclined)
            break;
        RollBackCopy();
        ShowRootWhole();
    }
    // The user closed setup: nothing can be shown, and the run ends through the exit
    // clean-up once the directory is as it was.
    if (MainWindowDestroyed) {
        RollBackCopy();
        SetupExitCode = ExitCodeClosedInCopy;
        return 0;
    }
    if (copied < 0) {
        EndNotInstalled();
        return 0;
    }
    if (CommitCopy() < 0)
        ShowKeptCopiesLeft(CopyJournal.install);
    return 1;
}

void RunWizard(void)
{
    ReportUnwrittenFiles(ShowUnwrittenFile);
    if (!CheckSourceDirectory() || !RunWelcomeAndLicence()) {
        CloseSetup();
        return;
    }
    if (InPlaceInstall)
        FormatText(InstallDirectory, sizeof InstallDirectory, "%s", SourceDirectory);
    else if (!InstallTree())
        return;
    ExpandStartFile(SourceDirectory, InstallDirectory);
    WriteLinkScript(InstallDirectory);
    InstallFinished = 1;
}
