// Steps through setup's pages that several end-to-end scenarios share.
#ifndef VELTRANE_E2E_PAGES_WALK_H
#define VELTRANE_E2E_PAGES_WALK_H

#include <windows.h>

#include <string>

extern const char WelcomeCaption[];
extern const char LicenceCaption[];
extern const char ExitCaption[];
extern const char DirectoryCaption[];
extern const char CompletedCaption[];

enum {
    PageAppearMilliseconds = 20000,  // Wine may be slow to start a process under load
    PageGoneMilliseconds = 20000,
};

// The page of setup's process with this caption, once it is shown; NULL after the wait.
HWND WaitForPage(DWORD processId, const char *caption,
                 DWORD milliseconds = PageAppearMilliseconds);

// Presses a button and expects its page to go away.
void Press(HWND page, int button);

// Welcome, Next, licence, Yes: the licence accepted the shortest way.
void AcceptLicence(DWORD processId);

// The names in a folder, sorted, separated by blanks ("a b c").
std::string FolderListing(const std::string &folder);

#endif
