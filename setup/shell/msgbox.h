// The one place of the message-box rules: errors are captioned "Error" with OK only;
// questions are captioned "Message" with OK and Cancel, and only OK goes ahead.
#ifndef VELTRANE_SHELL_MSGBOX_H
#define VELTRANE_SHELL_MSGBOX_H

#include <windows.h>

void ShowError(HWND owner, const char *text);

// Tells the user of something that went well, captioned "Message" with OK only.
void ShowNotice(HWND owner, const char *text);

// Returns 1 when the user chose OK, 0 otherwise.
int AskToGoAhead(HWND owner, const char *text);

#endif
