// What a C runtime would give setup, for a program that links none: Windows 95 as first
// released has no runtime DLL. The entry point hands WinMain what Windows passed, and the
// string and memory routines are the few that the code and the compiler call. Built only
// into the shipped programs; the compiler must not turn these loops back into calls of
// themselves (-fno-builtin, no loop pattern distribution).
#include <windows.h>
#include <stddef.h>

extern "C" {

void *memcpy(void *target, const void *source, size_t count)
{
    char *to = (char *)target;
    const char *from = (const char *)source;
    while (count--)
        *to++ = *from++;
    return target;
}

void *memset(void *target, int value, size_t count)
{
    char *to = (char *)target;
    while (count--)
        *to++ = (char)value;
    return target;
}

void *memchr(const void *text, int value, size_t count)
{
    const unsigned char *at = (const unsigned char *)text;
    for (; count > 0; count--, at++) {
        if (*at == (unsigned char)value)
            return (void *)at;
    }
    return NULL;
}

size_t strlen(const char *text)
{
    const char *end = text;
    while (*end)
        end++;
    return (size_t)(end - text);
}

// Only for the byte values of ASCII, which are never the second byte of a character.
char *strchr(const char *text, int value)
{
    for (;; text++) {
        if (*text == (char)value)
            return (char *)text;
        if (!*text)
            return NULL;
    }
}

int strcmp(const char *left, const char *right)
{
    while (*left && *left == *right) {
        left++;
        right++;
    }
    return (unsigned char)*left - (unsigned char)*right;
}

// Windows starts the program here, with the stack aligned to 4 bytes only.
__attribute__((force_align_arg_pointer)) void SetupEntry(void)
{
    STARTUPINFOA startup;

    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = startup.dwFlags & STARTF_USESHOWWINDOW ? startup.wShowWindow : SW_SHOWDEFAULT;
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL, GetCommandLineA(), show));
}
}
