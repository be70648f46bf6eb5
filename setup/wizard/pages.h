// The six pages of setup. Each modal page ends with the id of the button that closed it.
#ifndef VELTRANE_WIZARD_PAGES_H
#define VELTRANE_WIZARD_PAGES_H

#include <windows.h>

INT_PTR ShowWelcomePage(void);    // IDC_NEXT or IDCANCEL
INT_PTR ShowLicencePage(void);    // IDYES, IDNO or IDC_BACK
INT_PTR ShowExitPage(void);       // IDC_EXIT_SETUP or IDC_BACK
// Shows the install-directory page with the text of `directory` (a PathBufferSize buffer)
// and copies the page's text back into it whatever the result: IDOK with the accepted
// entry (at most 99 characters) or IDCANCEL with what the last refused OK read (its own
// text when OK was not pressed). Every page returns -1 when it cannot be shown.
INT_PTR ShowDirectoryPage(char *directory);
INT_PTR ShowCompletedPage(void);  // IDC_START_MAIN or IDC_EXIT_SETUP

// The modeless progress page, a child of the main window; it never ends itself.
HWND CreateProgressPage(void);

#endif
