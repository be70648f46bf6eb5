// The resources as built into setup.exe, read back from the binary under Wine: the licence
// text's format, the page templates, the pictures' sizes and palettes, the icon, the version.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"

namespace {

// The built program as Wine sees it: the build folder through drive Z:.
std::string SetupPath()
{
    std::string path = std::string("Z:") + VELTRANE_SETUP_EXE;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

HMODULE SetupModule()
{
    static HMODULE module = LoadLibraryExA(SetupPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

std::string ResourceBytes(LPCSTR type, int id)
{
    HRSRC found = FindResourceExA(SetupModule(), type, MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found)
        return std::string();
    const char *bytes = (const char *)LockResource(LoadResource(SetupModule(), found));
    return std::string(bytes, SizeofResource(SetupModule(), found));
}

TEST(Resources, LicenceIs5097BytesIn126ShortCrLfLines)
{
    ASSERT_TRUE(SetupModule() != NULL) << "cannot load " << VELTRANE_SETUP_EXE;
    std::string text = ResourceBytes("LICENCE", IDR_LICENCE);
    EXPECT_EQ(5097u, text.size());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(text.size(), start) << "text after the last CR LF";
    ASSERT_EQ(126u, lines.size());
    EXPECT_EQ("", lines[0]) << "the first line is empty";
    for (size_t i = 0; i < lines.size(); i++) {
        EXPECT_LE(lines[i].size(), 70u) << "line " << i + 1 << ": " << lines[i];
        for (unsigned char c : lines[i])
            EXPECT_TRUE(c >= 0x20 && c < 0x7F)
                << "line " << i + 1 << " holds byte " << int(c) << " (bare CR/LF or not 7-bit)";
    }
}

// A dialog template as stored (DLGTEMPLATE, DS_SETFONT), with its controls.
struct Control {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string windowClass;  // an ordinal class as its name
    std::string text;         // an ordinal text (picture) as "#<id>"
};
struct Dialog {
    DWORD style, exStyle;
    short x, y, cx, cy;
    std::string caption, font;
    int pointSize;
    std::vector<Control> controls;
};

struct TemplateReader {
    const WORD *at;
    std::string Text()
    {
        std::string text;
        if (*at == 0xFFFF) {
            text = "#" + std::to_string(at[1]);
            at += 2;
            return text;
        }
        for (; *at; at++)
            text += (char)*at;
        at++;
        return text;
    }
    void Align() { at = (const WORD *)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3); }
};

std::string ClassName(std::string name)
{
    static const char *const ordinals[][2] = {
        {"#128", "button"}, {"#129", "edit"}, {"#130", "static"}};
    for (auto &ordinal : ordinals)
        if (name == ordinal[0])
            return ordinal[1];
    for (char &c : name)
        c = (char)tolower((unsigned char)c);
    return name;
}

bool ReadDialog(int id, Dialog *dialog)
{
    std::string bytes = ResourceBytes((LPCSTR)RT_DIALOG, id);
    if (bytes.size() < sizeof(DLGTEMPLATE))
        return false;
    const DLGTEMPLATE *head = (const DLGTEMPLATE *)bytes.data();
    *dialog = {head->style, head->dwExtendedStyle, head->x, head->y, head->cx, head->cy,
               "", "", 0, {}};
    TemplateReader reader{(const WORD *)(head + 1)};
    reader.Text();  // menu
    reader.Text();  // class
    dialog->caption = reader.Text();
    dialog->pointSize = *reader.at++;
    dialog->font = reader.Text();
    for (int i = 0; i < head->cdit; i++) {
        reader.Align();
        const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)reader.at;
        reader.at = (const WORD *)(item + 1);
        Control control{item->style, item->x, item->y, item->cx, item->cy,
                        (short)item->id, "", ""};
        control.windowClass = ClassName(reader.Text());
        control.text = reader.Text();
        reader.at += 1 + *reader.at / sizeof(WORD);  // creation data
        dialog->controls.push_back(control);
    }
    return true;
}

const DWORD Page = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const DWORD Shown = WS_CHILD | WS_VISIBLE;
const DWORD Button = BS_PUSHBUTTON | WS_TABSTOP | Shown;
const DWORD Label = SS_LEFT | WS_GROUP | Shown;
const DWORD Picture = SS_BITMAP | Shown;

struct ExpectedDialog {
    int id;
    const char *caption;
    short x, y, cx, cy;
    DWORD style;
    std::vector<std::vector<int>> controls;  // id, style, x, y, cx, cy
};

const ExpectedDialog Dialogs[] = {
    {IDD_WELCOME, "Welcome", 0, 65, 380, 209, Page,
     {{IDC_NEXT, Button, 201, 187, 50, 14}, {IDCANCEL, Button, 275, 187, 50, 14},
      {-1, Label, 197, 16, 177, 11}, {-1, Label, 197, 26, 165, 11},
      {-1, Label, 197, 84, 165, 11}, {-1, Picture, 7, 10, 184, 129},
      {-1, Picture, 17, 179, 359, 1}, {-1, Label, 197, 55, 165, 11}}},
    {IDD_LICENCE, "Licence Agreement", 0, 30, 339, 237, Page & ~WS_SYSMENU,
     {{IDYES, BS_PUSHBUTTON | Shown, 206, 215, 50, 14},
      {IDC_LICENCE_TEXT, WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOHSCROLL |
       ES_READONLY | ES_WANTRETURN | Shown, 6, 39, 323, 133},
      {IDNO, BS_PUSHBUTTON | Shown, 280, 215, 50, 14},
      {IDC_BACK, BS_PUSHBUTTON | Shown, 156, 215, 50, 14}, {-1, Picture, 7, 3, 27, 27},
      {-1, Label, 41, 8, 273, 11}, {-1, Label, 41, 17, 186, 11},
      {-1, Label, 7, 179, 273, 11}, {-1, Label, 7, 189, 274, 11},
      {-1, Picture, 7, 205, 17, 4}}},
    {IDD_DIRECTORY, "Directory to install Veltrane", 50, 240, 223, 55, Page,
     {{IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | Shown, 164, 7, 50, 14},
      {IDC_DIRECTORY_EDIT, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | Shown, 10, 7, 147, 14},
      {IDCANCEL, Button, 164, 24, 50, 14}}},
    {IDD_EXIT, "Exit setup", 100, 145, 226, 124, Page,
     {{IDC_BACK, Button, 86, 99, 50, 14}, {IDC_EXIT_SETUP, Button, 160, 99, 50, 14},
      {-1, Label, 14, 14, 204, 11}, {-1, Label, 14, 24, 186, 11},
      {-1, Label, 14, 43, 197, 11}, {-1, Label, 14, 53, 189, 11},
      {-1, Label, 14, 70, 198, 11}, {-1, Label, 14, 80, 164, 11}}},
    {IDD_COMPLETED, "Setup completed", 100, 145, 226, 124, Page,
     {{IDC_START_MAIN, Button, 52, 99, 84, 14}, {IDC_EXIT_SETUP, Button, 160, 99, 50, 14},
      {-1, Label, 14, 14, 204, 11}, {-1, Label, 14, 43, 197, 11},
      {-1, Label, 14, 53, 189, 11}}},
    {IDD_PROGRESS, "Progress", 0, 0, 243, 33,
     WS_CHILD | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT,
     {{IDC_PROGRESS_BAR, WS_BORDER | Shown, 10, 8, 221, 15}}},
};

TEST(Resources, PageTemplatesMatchTheirLayout)
{
    for (const ExpectedDialog &want : Dialogs) {
        SCOPED_TRACE("dialog " + std::to_string(want.id));
        Dialog got;
        ASSERT_TRUE(ReadDialog(want.id, &got));
        EXPECT_EQ(want.caption, got.caption);
        EXPECT_EQ(want.style, got.style) << std::hex << "style 0x" << got.style;
        EXPECT_EQ(0u, got.exStyle);
        EXPECT_EQ(std::vector<short>({want.x, want.y, want.cx, want.cy}),
                  std::vector<short>({got.x, got.y, got.cx, got.cy}));
        EXPECT_EQ("MS Sans Serif", got.font);
        EXPECT_EQ(8, got.pointSize);
        ASSERT_EQ(want.controls.size(), got.controls.size());
        for (size_t i = 0; i < got.controls.size(); i++) {
            const std::vector<int> &w = want.controls[i];
            const Control &c = got.controls[i];
            EXPECT_EQ(w, std::vector<int>({c.id, (int)c.style, c.x, c.y, c.cx, c.cy}))
                << "control " << i + 1 << " \"" << c.text << "\" style 0x" << std::hex
                << c.style;
        }
    }
}

// Texts a tidy-minded edit could "correct" are kept as the product has always shown them.
TEST(Resources, ControlClassesAndTextsAsShown)
{
    struct {
        int dialog, index;
        const char *windowClass, *text;
    } cases[] = {
        {IDD_WELCOME, 5, "static", "#172"},
        {IDD_WELCOME, 6, "static", "#167"},
        {IDD_WELCOME, 7, "static", "Standard Edition"},
        {IDD_LICENCE, 1, "edit", ""},
        {IDD_LICENCE, 3, "button", "< Back"},
        {IDD_LICENCE, 4, "static", "#168"},
        {IDD_LICENCE, 5, "static",
         "Please read the following Licence Agreement. Press the  PAGE DOWN key to"},
        {IDD_LICENCE, 8, "static", "Setup will cose. To proceed with the installation, "
                                   "you have to accept this agreement."},
        {IDD_LICENCE, 9, "static", "#169"},
        {IDD_DIRECTORY, 1, "edit", ""},
        {IDD_EXIT, 5, "static", "installation"},
        {IDD_COMPLETED, 0, "button", "Start orvane manager"},
        {IDD_COMPLETED, 2, "static", "Veltrane is succesfully installed."},
        {IDD_PROGRESS, 0, "msctls_progress32", ""},
    };
    for (auto &want : cases) {
        Dialog got;
        ASSERT_TRUE(ReadDialog(want.dialog, &got));
        ASSERT_LT(want.index, (int)got.controls.size());
        const Control &c = got.controls[want.index];
        EXPECT_EQ(want.windowClass, c.windowClass)
            << "dialog " << want.dialog << " control " << want.index + 1;
        EXPECT_EQ(want.text, c.text) << "dialog " << want.dialog << " control " << want.index + 1;
    }
}

TEST(Resources, PicturesHaveTheirSizesAndSixteenColours)
{
    struct {
        int id, width, height;
    } cases[] = {{IDB_PRODUCT_BOX, 277, 279}, {IDB_SEPARATOR_WELCOME, 521, 2},
                 {IDB_COMPUTER, 41, 44}, {IDB_SEPARATOR_LICENCE, 485, 2}};
    for (auto &want : cases) {
        std::string bytes = ResourceBytes((LPCSTR)RT_BITMAP, want.id);
        ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER) + 64) << "bitmap " << want.id;
        const BITMAPINFOHEADER *info = (const BITMAPINFOHEADER *)bytes.data();
        EXPECT_EQ(want.width, info->biWidth) << "bitmap " << want.id;
        EXPECT_EQ(want.height, info->biHeight) << "bitmap " << want.id;
        EXPECT_EQ(4, info->biBitCount) << "bitmap " << want.id;
        EXPECT_TRUE(info->biClrUsed == 0 || info->biClrUsed == 16)
            << "bitmap " << want.id << " uses " << info->biClrUsed << " colours";
    }
}

// The etched separators: a grey row above a white one.
TEST(Resources, SeparatorsAreGreyAboveWhite)
{
    for (int id : {IDB_SEPARATOR_WELCOME, IDB_SEPARATOR_LICENCE}) {
        std::string bytes = ResourceBytes((LPCSTR)RT_BITMAP, id);
        ASSERT_FALSE(bytes.empty());
        const BITMAPINFOHEADER *info = (const BITMAPINFOHEADER *)bytes.data();
        const RGBQUAD *palette = (const RGBQUAD *)(info + 1);
        const unsigned char *rows = (const unsigned char *)(palette + 16);
        int rowBytes = ((info->biWidth * 4 + 31) / 32) * 4;
        for (int x = 0; x < info->biWidth; x++) {
            int shift = (x % 2) ? 0 : 4;
            // Bottom-up: the second stored row is the top one.
            RGBQUAD top = palette[(rows[rowBytes + x / 2] >> shift) & 15];
            RGBQUAD bottom = palette[(rows[x / 2] >> shift) & 15];
            ASSERT_EQ(RGB(128, 128, 128), RGB(top.rgbRed, top.rgbGreen, top.rgbBlue))
                << "bitmap " << id << " x " << x;
            ASSERT_EQ(RGB(255, 255, 255), RGB(bottom.rgbRed, bottom.rgbGreen, bottom.rgbBlue))
                << "bitmap " << id << " x " << x;
        }
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroupHoldsOne32By32SixteenColourImage)
{
    std::string group = ResourceBytes((LPCSTR)RT_GROUP_ICON, IDI_SETUP);
    ASSERT_GE(group.size(), 6 + sizeof(GroupIconEntry));
    const WORD *head = (const WORD *)group.data();
    EXPECT_EQ(1, head[1]) << "resource type";
    ASSERT_EQ(1, head[2]) << "image count";
    const GroupIconEntry *entry = (const GroupIconEntry *)(head + 3);
    EXPECT_EQ(32, entry->width);
    EXPECT_EQ(32, entry->height);
    EXPECT_EQ(16, entry->colourCount);
    EXPECT_EQ(4, entry->bitCount);
    std::string image = ResourceBytes((LPCSTR)RT_ICON, entry->id);
    ASSERT_EQ(entry->bytes, image.size());
    const BITMAPINFOHEADER *info = (const BITMAPINFOHEADER *)image.data();
    EXPECT_EQ(32, info->biWidth);
    EXPECT_EQ(64, info->biHeight) << "colour image and mask";
    EXPECT_EQ(4, info->biBitCount);
}

TEST(Resources, VersionNamesTheInstaller)
{
    DWORD handle;
    std::vector<char> bytes(GetFileVersionInfoSizeA(SetupPath().c_str(), &handle));
    ASSERT_FALSE(bytes.empty());
    ASSERT_TRUE(GetFileVersionInfoA(SetupPath().c_str(), 0, bytes.size(), bytes.data()));
    void *info = bytes.data();
    VS_FIXEDFILEINFO *fixed;
    UINT size;
    ASSERT_TRUE(VerQueryValueA(info, "\\", (void **)&fixed, &size));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x40004u, fixed->dwFileOS);
    EXPECT_EQ((DWORD)VFT_APP, fixed->dwFileType);
    const char *strings[][2] = {{"FileDescription", "Installation Veltrane"},
                                {"ProductName", "Installation Veltrane"},
                                {"FileVersion", "2, 0, 0, 1001"},
                                {"ProductVersion", "2, 0, 0, 1001"},
                                {"InternalName", "Setup"},
                                {"OriginalFilename", "Setup.exe"}};
    for (auto &entry : strings) {
        char *value = NULL;
        std::string key = std::string("\\StringFileInfo\\040904B0\\") + entry[0];
        ASSERT_TRUE(VerQueryValueA(info, key.c_str(), (void **)&value, &size)) << entry[0];
        EXPECT_STREQ(entry[1], value) << entry[0];
    }
}

}  // namespace
