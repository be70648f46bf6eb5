#include "shell/msgbox.h"

void ShowError(HWND owner, const char *text)
{
    MessageBoxA(owner, text, "Error", MB_OK);
}

void ShowNotice(HWND owner, const char *text)
{
    MessageBoxA(owner, text, "Message", MB_OK);
}

int AskToGoAhead(HWND owner, const char *text)
{
    return MessageBoxA(owner, text, "Message", MB_OKCANCEL) == IDOK;
}
