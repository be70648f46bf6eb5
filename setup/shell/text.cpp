// Setup links no C runtime, so its formatting is its own; setup only ever puts texts into
// texts, so "%s" is all it needs.
#include "shell/text.h"

#ifdef _WIN32
#include <windows.h>

int IsLeadByte(char byte)
{
    return IsDBCSLeadByte((BYTE)byte) != 0;
}
#else
// The lead-byte ranges of the double-byte code pages; a single-byte one has none.
static unsigned char LeadLow = 0xff, LeadHigh = 0, SecondLeadLow = 0xff, SecondLeadHigh = 0;

void UseCodePage(int codePage)
{
    LeadLow = 0xff;
    LeadHigh = 0;
    SecondLeadLow = 0xff;
    SecondLeadHigh = 0;
    switch (codePage) {
    case 932:
        LeadLow = 0x81;
        LeadHigh = 0x9f;
        SecondLeadLow = 0xe0;
        SecondLeadHigh = 0xfc;
        break;
    case 936:
    case 949:
    case 950:
        LeadLow = 0x81;
        LeadHigh = 0xfe;
        break;
    }
}

int IsLeadByte(char byte)
{
    unsigned char value = (unsigned char)byte;
    return (value >= LeadLow && value <= LeadHigh) ||
           (value >= SecondLeadLow && value <= SecondLeadHigh);
}
#endif

int CharacterLength(const char *text)
{
    return IsLeadByte(text[0]) && text[1] != '\0' ? 2 : 1;
}

// Where the formatted text goes: its buffer, what went in, and the whole length.
struct Output {
    char *out;
    int size;
    int kept;    // bytes in `out`
    int length;  // bytes of the whole text
};

// Bytes go in while they fit; the characters are told apart once the whole text is there,
// since a lead byte at the end of one piece pairs with the first byte of the next.
static void Append(Output *output, const char *text, int count)
{
    for (int i = 0; i < count; i++) {
        if (output->kept + 1 < output->size)
            output->out[output->kept++] = text[i];
    }
    output->length += count;
}

static int TextLength(const char *text)
{
    int length = 0;
    while (text[length])
        length++;
    return length;
}

int FormatTextList(char *out, int size, const char *format, va_list arguments)
{
    Output output = {out, size, 0, 0};

    for (const char *f = format; *f; f++) {
        if (f[0] == '%' && f[1] == 's') {
            const char *text = va_arg(arguments, const char *);
            Append(&output, text, TextLength(text));
            f++;
        } else if (f[0] == '%' && f[1] == '%') {
            Append(&output, f, 1);
            f++;
        } else {
            Append(&output, f, 1);
        }
    }
    // What was kept begins the whole text, so its walk by character is the whole text's: a
    // lead byte left last by a cut lost its second byte.
    if (output.length > output.kept)
        output.kept = WholeCharactersLength(out, output.kept);
    out[output.kept] = '\0';
    return output.length;
}

int FormatText(char *out, int size, const char *format, ...)
{
    va_list arguments;

    va_start(arguments, format);
    int length = FormatTextList(out, size, format, arguments);
    va_end(arguments);
    return length;
}

int EndsInBackslash(const char *text)
{
    const char *last = 0;

    for (const char *c = text; *c; c += CharacterLength(c))
        last = c;
    return last && *last == '\\';
}

int JoinDirectory(char *out, int size, const char *directory, const char *rest)
{
    char letter = (char)(directory[0] | 0x20);
    int driveAlone = letter >= 'a' && letter <= 'z' && directory[1] == ':' && directory[2] == 0;

    if ((driveAlone || EndsInBackslash(directory)) && rest[0] == '\\')
        rest++;
    return FormatText(out, size, "%s%s%s", directory, driveAlone ? "\\" : "", rest);
}

int WholeCharactersLength(const char *text, int length)
{
    int i = 0;

    while (i < length) {
        if (!IsLeadByte(text[i]))
            i++;
        else if (i + 1 < length)
            i += 2;
        else
            return i;
    }
    return length;
}

void DropSplitCharacter(char *text)
{
    text[WholeCharactersLength(text, TextLength(text))] = '\0';
}
