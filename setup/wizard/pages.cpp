// The pages of setup. Each modal page ends with the id of the button that closed it; the
// callers decide what follows. Only the install-directory page judges its entry.
#include <string.h>

#include "wizard/pages.h"
#include "shell/msgbox.h"
#include "shell/state.h"
#include "shell/text.h"
#include "resource.h"

enum {
    DirectoryEntryLimit = 100,  // the edit takes 99 bytes, all that setup reads
    LicenceTextLimit = 8192,    // room for the licence text and the zero it lacks
};

static const char LicenceType[] = "LICENCE";

// Ending ids of each page, zero-terminated. Escape and the close box arrive as IDCANCEL,
// so a page without IDCANCEL here ignores them.
static const int WelcomeEndings[] = {IDC_NEXT, IDCANCEL, 0};
static const int LicenceEndings[] = {IDYES, IDNO, IDC_BACK, 0};
static const int ExitEndings[] = {IDC_EXIT_SETUP, IDC_BACK, 0};
static const int CompletedEndings[] = {IDC_EXIT_SETUP, IDC_START_MAIN, 0};

static BOOL EndOnCommand(HWND page, WPARAM wParam, const int *endings)
{
    int command = LOWORD(wParam);

    for (; *endings; endings++) {
        if (*endings == command) {
            EndDialog(page, command);
            return TRUE;
        }
    }
    return FALSE;
}

// The resource has no terminating zero, so the text is given to the edit from a
// zero-terminated copy; nothing after the resource's bytes is ever read.
static void PutLicenceText(HWND page)
{
    char text[LicenceTextLimit];
    HRSRC found = FindResourceA(AppInstance, MAKEINTRESOURCEA(IDR_LICENCE), LicenceType);
    HGLOBAL loaded = found ? LoadResource(AppInstance, found) : NULL;
    const char *bytes = loaded ? (const char *)LockResource(loaded) : NULL;
    DWORD size;

    if (!bytes)
        return;  // without its text the page still works, with an empty box
    size = SizeofResource(AppInstance, found);
    if (size > sizeof text - 1)
        size = sizeof text - 1;
    memcpy(text, bytes, size);
    text[size] = 0;
    SendDlgItemMessageA(page, IDC_LICENCE_TEXT, WM_SETTEXT, 0, (LPARAM)text);
}

// OK or Enter: an empty entry is ignored, and one with a blank or longer than setup reads
// refused; the page text holds what was read either way, so a later Cancel hands it back.
static BOOL CheckDirectoryEntry(HWND page)
{
    LRESULT length;

    memset(DirectoryPageText, 0, sizeof DirectoryPageText);
    length = SendDlgItemMessageA(page, IDC_DIRECTORY_EDIT, WM_GETTEXT, sizeof DirectoryPageText,
                                 (LPARAM)DirectoryPageText);
    if (length <= 0)
        return TRUE;
    // The read counts bytes, so it may have kept the first half of a character.
    DropSplitCharacter(DirectoryPageText);
    // The edit takes no more, but where it counts characters rather than bytes, a text of
    // double-byte characters can pass the limit: it is refused whole, never cut.
    if (strlen(DirectoryPageText) >= DirectoryEntryLimit) {
        ShowError(page, "The install directory is longer than 99 characters\n\n"
                        "Choose a shorter one");
        return TRUE;
    }
    if (strchr(DirectoryPageText, ' ')) {
        ShowError(page, "Space characters in the install directory are not allowed");
        return TRUE;
    }
    EndDialog(page, IDOK);
    return TRUE;
}

static BOOL OnDirectoryCommand(HWND page, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        return CheckDirectoryEntry(page);
    case IDCANCEL:
        EndDialog(page, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        return EndOnCommand(page, wParam, WelcomeEndings);
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK LicencePageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PutLicenceText(page);
        return TRUE;
    case WM_COMMAND:
        return EndOnCommand(page, wParam, LicenceEndings);
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK DirectoryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(page, IDC_DIRECTORY_EDIT, EM_LIMITTEXT, DirectoryEntryLimit - 1, 0);
        SendDlgItemMessageA(page, IDC_DIRECTORY_EDIT, WM_SETTEXT, 0,
                            (LPARAM)DirectoryPageText);
        return TRUE;
    case WM_COMMAND:
        return OnDirectoryCommand(page, wParam);
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK ExitPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        return EndOnCommand(page, wParam, ExitEndings);
    default:
        return FALSE;
    }
}

static INT_PTR CALLBACK CompletedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        return EndOnCommand(page, wParam, CompletedEndings);
    default:
        return FALSE;
    }
}

// The copy moves the bar; the page itself never ends, so its close box does nothing.
static INT_PTR CALLBACK ProgressPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    default:
        return FALSE;
    }
}

static INT_PTR ShowPage(int templateId, DLGPROC procedure)
{
    return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(templateId), MainWindow, procedure, 0);
}

INT_PTR ShowWelcomePage(void)
{
    return ShowPage(IDD_WELCOME, WelcomePageProc);
}

INT_PTR ShowLicencePage(void)
{
    return ShowPage(IDD_LICENCE, LicencePageProc);
}

INT_PTR ShowExitPage(void)
{
    return ShowPage(IDD_EXIT, ExitPageProc);
}

INT_PTR ShowDirectoryPage(char *directory)
{
    INT_PTR result;

    FormatText(DirectoryPageText, sizeof DirectoryPageText, "%s", directory);
    result = ShowPage(IDD_DIRECTORY, DirectoryPageProc);
    FormatText(directory, PathBufferSize, "%s", DirectoryPageText);
    return result;
}

INT_PTR ShowCompletedPage(void)
{
    return ShowPage(IDD_COMPLETED, CompletedPageProc);
}

HWND CreateProgressPage(void)
{
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROGRESS), MainWindow,
                              ProgressPageProc, 0);
}
