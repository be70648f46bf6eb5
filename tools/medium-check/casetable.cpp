// Names compared as Windows compares them: one UTF-16 unit at a time through an upper-case
// table, the same in the Linux and the Windows build, so that both give one verdict. It
// follows the long names of the file systems of Windows 95 and NT 4, whose table maps a
// letter to one capital and was made from the Unicode of their time, not the newer case
// rules that a C library or a later Windows applies: a small letter and a capital are one
// name only where each is the other's case among the characters of Unicode 3.2. So µ and
// Μ, ı and I, ſ and S, ς and Σ (each capital has a small letter of its own), ǅ and ǆ (a
// title-case letter keeps its form) and ᲀ and В (newer than the table) are two names, as
// are ß and SS; é and É are one.
#include "casetable.h"

struct CaseRun {
    unsigned first;
    unsigned last;
    unsigned step;  // 1 for a run of small letters, 2 where small and capital alternate
    int toCapital;
};

// Made by casetable.py.
static const CaseRun CaseRuns[] = {
    {0x0061, 0x007A, 1, -32},
    {0x00E0, 0x00F6, 1, -32},
    {0x00F8, 0x00FE, 1, -32},
    {0x00FF, 0x00FF, 1, 121},
    {0x0101, 0x012F, 2, -1},
    {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},
    {0x014B, 0x0177, 2, -1},
    {0x017A, 0x017E, 2, -1},
    {0x0183, 0x0185, 2, -1},
    {0x0188, 0x0188, 1, -1},
    {0x018C, 0x018C, 1, -1},
    {0x0192, 0x0192, 1, -1},
    {0x0195, 0x0195, 1, 97},
    {0x0199, 0x0199, 1, -1},
    {0x019E, 0x019E, 1, 130},
    {0x01A1, 0x01A5, 2, -1},
    {0x01A8, 0x01A8, 1, -1},
    {0x01AD, 0x01AD, 1, -1},
    {0x01B0, 0x01B0, 1, -1},
    {0x01B4, 0x01B6, 2, -1},
    {0x01B9, 0x01B9, 1, -1},
    {0x01BD, 0x01BD, 1, -1},
    {0x01BF, 0x01BF, 1, 56},
    {0x01C6, 0x01C6, 1, -2},
    {0x01C9, 0x01C9, 1, -2},
    {0x01CC, 0x01CC, 1, -2},
    {0x01CE, 0x01DC, 2, -1},
    {0x01DD, 0x01DD, 1, -79},
    {0x01DF, 0x01EF, 2, -1},
    {0x01F3, 0x01F3, 1, -2},
    {0x01F5, 0x01F5, 1, -1},
    {0x01F9, 0x021F, 2, -1},
    {0x0223, 0x0233, 2, -1},
    {0x0253, 0x0253, 1, -210},
    {0x0254, 0x0254, 1, -206},
    {0x0256, 0x0257, 1, -205},
    {0x0259, 0x0259, 1, -202},
    {0x025B, 0x025B, 1, -203},
    {0x0260, 0x0260, 1, -205},
    {0x0263, 0x0263, 1, -207},
    {0x0268, 0x0268, 1, -209},
    {0x0269, 0x0269, 1, -211},
    {0x026F, 0x026F, 1, -211},
    {0x0272, 0x0272, 1, -213},
    {0x0275, 0x0275, 1, -214},
    {0x0280, 0x0280, 1, -218},
    {0x0283, 0x0283, 1, -218},
    {0x0288, 0x0288, 1, -218},
    {0x028A, 0x028B, 1, -217},
    {0x0292, 0x0292, 1, -219},
    {0x03AC, 0x03AC, 1, -38},
    {0x03AD, 0x03AF, 1, -37},
    {0x03B1, 0x03C1, 1, -32},
    {0x03C3, 0x03CB, 1, -32},
    {0x03CC, 0x03CC, 1, -64},
    {0x03CD, 0x03CE, 1, -63},
    {0x03D9, 0x03EF, 2, -1},
    {0x0430, 0x044F, 1, -32},
    {0x0450, 0x045F, 1, -80},
    {0x0461, 0x0481, 2, -1},
    {0x048B, 0x04BF, 2, -1},
    {0x04C2, 0x04CE, 2, -1},
    {0x04D1, 0x04F5, 2, -1},
    {0x04F9, 0x04F9, 1, -1},
    {0x0501, 0x050F, 2, -1},
    {0x0561, 0x0586, 1, -48},
    {0x1E01, 0x1E95, 2, -1},
    {0x1EA1, 0x1EF9, 2, -1},
    {0x1F00, 0x1F07, 1, 8},
    {0x1F10, 0x1F15, 1, 8},
    {0x1F20, 0x1F27, 1, 8},
    {0x1F30, 0x1F37, 1, 8},
    {0x1F40, 0x1F45, 1, 8},
    {0x1F51, 0x1F57, 2, 8},
    {0x1F60, 0x1F67, 1, 8},
    {0x1F70, 0x1F71, 1, 74},
    {0x1F72, 0x1F75, 1, 86},
    {0x1F76, 0x1F77, 1, 100},
    {0x1F78, 0x1F79, 1, 128},
    {0x1F7A, 0x1F7B, 1, 112},
    {0x1F7C, 0x1F7D, 1, 126},
    {0x1FB0, 0x1FB1, 1, 8},
    {0x1FD0, 0x1FD1, 1, 8},
    {0x1FE0, 0x1FE1, 1, 8},
    {0x1FE5, 0x1FE5, 1, 7},
    {0x2170, 0x217F, 1, -16},
    {0x24D0, 0x24E9, 1, -26},
    {0xFF41, 0xFF5A, 1, -32},
};

unsigned DecodeUtf8(const unsigned char *text, size_t left, size_t *used)
{
    int extra = text[0] >= 0xf0 ? 3 : text[0] >= 0xe0 ? 2 : text[0] >= 0xc0 ? 1 : 0;
    unsigned code = extra ? text[0] & (0x3f >> extra) : text[0];

    *used = 1;
    if (text[0] >= 0x80 && text[0] < 0xc0)
        return text[0];
    if ((size_t)extra >= left)
        return text[0];
    for (int i = 1; i <= extra; i++) {
        if ((text[i] & 0xc0) != 0x80)
            return text[0];
        code = code << 6 | (text[i] & 0x3f);
    }
    *used = extra + 1;
    return code;
}

static void AppendUtf8(std::string *out, unsigned code)
{
    if (code < 0x80) {
        *out += (char)code;
    } else if (code < 0x800) {
        *out += (char)(0xc0 | code >> 6);
        *out += (char)(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        *out += (char)(0xe0 | code >> 12);
        *out += (char)(0x80 | (code >> 6 & 0x3f));
        *out += (char)(0x80 | (code & 0x3f));
    } else {
        *out += (char)(0xf0 | code >> 18);
        *out += (char)(0x80 | (code >> 12 & 0x3f));
        *out += (char)(0x80 | (code >> 6 & 0x3f));
        *out += (char)(0x80 | (code & 0x3f));
    }
}

static unsigned Capital(unsigned code)
{
    for (const CaseRun &run : CaseRuns) {
        if (code < run.first)
            break;
        if (code <= run.last && (code - run.first) % run.step == 0)
            return (unsigned)((int)code + run.toCapital);
    }
    return code;
}

std::string CapitalName(const std::string &utf8)
{
    const unsigned char *text = (const unsigned char *)utf8.data();
    size_t left = utf8.size();
    std::string capitals;

    while (left > 0) {
        size_t used;
        AppendUtf8(&capitals, Capital(DecodeUtf8(text, left, &used)));
        text += used;
        left -= used;
    }
    return capitals;
}
