#include "wizard/pages.h"
#include "shell/state.h"
#include "resource.h"

INT_PTR ShowWelcomePage(void) { return IDC_NEXT; }
INT_PTR ShowLicencePage(void) { return IDYES; }
INT_PTR ShowExitPage(void) { return IDC_EXIT_SETUP; }
INT_PTR ShowDirectoryPage(char *) { return IDOK; }
INT_PTR ShowCompletedPage(void) { return IDC_EXIT_SETUP; }
HWND CreateProgressPage(void) { return NULL; }
