// The pages as a user of Windows 95 or NT 4 sees them, in the Wine session the tests run in:
// the standard colours and caption font that the session puts into its prefix, and every
// page of the shipped setup.exe and setup-copy.exe made from its template, with each label
// and button text measured in its control's own font. A text that does not fit its control
// on one line wraps, and its last words hide behind the next control or below the edge.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string>

#include "resource.h"

namespace {

struct Colour {
    int index;
    const char *name;
    int red, green, blue;
};

// The standard scheme of Windows 95 and NT 4; the gradient colours repeat the title colours,
// so the title bars are solid.
const Colour StandardScheme[] = {
    {COLOR_SCROLLBAR, "Scrollbar", 192, 192, 192},
    {COLOR_BACKGROUND, "Background", 0, 128, 128},
    {COLOR_ACTIVECAPTION, "ActiveTitle", 0, 0, 128},
    {COLOR_INACTIVECAPTION, "InactiveTitle", 128, 128, 128},
    {COLOR_MENU, "Menu", 192, 192, 192},
    {COLOR_WINDOW, "Window", 255, 255, 255},
    {COLOR_WINDOWFRAME, "WindowFrame", 0, 0, 0},
    {COLOR_MENUTEXT, "MenuText", 0, 0, 0},
    {COLOR_WINDOWTEXT, "WindowText", 0, 0, 0},
    {COLOR_CAPTIONTEXT, "TitleText", 255, 255, 255},
    {COLOR_ACTIVEBORDER, "ActiveBorder", 192, 192, 192},
    {COLOR_INACTIVEBORDER, "InactiveBorder", 192, 192, 192},
    {COLOR_APPWORKSPACE, "AppWorkSpace", 128, 128, 128},
    {COLOR_HIGHLIGHT, "Hilight", 0, 0, 128},
    {COLOR_HIGHLIGHTTEXT, "HilightText", 255, 255, 255},
    {COLOR_BTNFACE, "ButtonFace", 192, 192, 192},
    {COLOR_BTNSHADOW, "ButtonShadow", 128, 128, 128},
    {COLOR_GRAYTEXT, "GrayText", 128, 128, 128},
    {COLOR_BTNTEXT, "ButtonText", 0, 0, 0},
    {COLOR_INACTIVECAPTIONTEXT, "InactiveTitleText", 192, 192, 192},
    {COLOR_BTNHIGHLIGHT, "ButtonHilight", 255, 255, 255},
    {COLOR_3DDKSHADOW, "ButtonDkShadow", 0, 0, 0},
    {COLOR_3DLIGHT, "ButtonLight", 192, 192, 192},
    {COLOR_INFOTEXT, "InfoText", 0, 0, 0},
    {COLOR_INFOBK, "InfoWindow", 255, 255, 225},
    {COLOR_HOTLIGHT, "HotTrackingColor", 0, 0, 128},
    {COLOR_GRADIENTACTIVECAPTION, "GradientActiveTitle", 0, 0, 128},
    {COLOR_GRADIENTINACTIVECAPTION, "GradientInactiveTitle", 128, 128, 128},
};

TEST(Look, SystemColoursAreTheStandardScheme)
{
    for (const Colour &want : StandardScheme) {
        COLORREF got = GetSysColor(want.index);
        EXPECT_EQ(RGB(want.red, want.green, want.blue), got)
            << want.name << " is " << (int)GetRValue(got) << " " << (int)GetGValue(got) << " "
            << (int)GetBValue(got);
    }
}

// A font as the screen draws it: its face, metrics and whether it is a bitmap font.
struct DrawnFont {
    std::string face;
    TEXTMETRICA metrics;
    bool bitmap;
};

DrawnFont Realize(HDC dc, HFONT font)
{
    DrawnFont drawn;
    char face[LF_FACESIZE] = "";
    HGDIOBJ old = SelectObject(dc, font);
    GetTextFaceA(dc, sizeof face, face);
    GetTextMetricsA(dc, &drawn.metrics);
    SelectObject(dc, old);
    drawn.face = face;
    drawn.bitmap = (drawn.metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) == 0;
    return drawn;
}

// Windows 95's caption font: MS Sans Serif bold, 8 points, which is 13 pixels high at 96 DPI.
TEST(Look, CaptionsUseBoldBitmapMsSansSerif)
{
    NONCLIENTMETRICSA metrics;
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    HFONT font = CreateFontIndirectA(&metrics.lfCaptionFont);
    HDC screen = GetDC(NULL);
    DrawnFont drawn = Realize(screen, font);
    ReleaseDC(NULL, screen);
    DeleteObject(font);
    EXPECT_EQ("MS Sans Serif", drawn.face);
    EXPECT_TRUE(drawn.bitmap) << drawn.face << " is an outline font";
    EXPECT_EQ(FW_BOLD, drawn.metrics.tmWeight);
    EXPECT_EQ(13, drawn.metrics.tmHeight);
}

// The shipped programs as Wine sees them: the i686 build's folder through drive Z:.
std::string ShippedProgram(const char *name)
{
    std::string path = std::string("Z:") + VELTRANE_SHIPPED_PROGRAMS + "/" + name;
    for (char &c : path)
        if (c == '/')
            c = '\\';
    return path;
}

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// Whether a control shows a text of its own: a button or a text label, not a picture.
bool ShowsText(HWND control)
{
    char name[32] = "";
    GetClassNameA(control, name, sizeof name);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(name, "Button") == 0)
        return true;
    return lstrcmpiA(name, "Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT;
}

// Measures every text of one page against its control and prints a row for each; returns
// how many texts do not fit on one line or are not in the bitmap MS Sans Serif.
int MeasurePage(const char *program, HWND page)
{
    char caption[64] = "";
    GetWindowTextA(page, caption, sizeof caption);
    RECT unit = {0, 0, 4, 8};
    MapDialogRect(page, &unit);
    printf("%-14s %-29s dialog units %ldx%ld px\n", program, caption, unit.right, unit.bottom);
    // The pictures are drawn for Windows 95's dialog units with this font at 96 DPI.
    EXPECT_EQ(6, unit.right) << caption;
    EXPECT_EQ(13, unit.bottom) << caption;

    int faults = 0;
    for (HWND control = GetWindow(page, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!ShowsText(control))
            continue;
        char text[128] = "";
        GetWindowTextA(control, text, sizeof text);
        char name[32] = "";
        GetClassNameA(control, name, sizeof name);
        RECT client;
        GetClientRect(control, &client);
        int room = client.right;
        // A push button draws its text inside its raised edges.
        if (lstrcmpiA(name, "Button") == 0)
            room -= 2 * GetSystemMetrics(SM_CXEDGE);

        HDC dc = GetDC(control);
        HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
        DrawnFont drawn = Realize(dc, font);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE extent = {0, 0};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
        SelectObject(dc, old);
        ReleaseDC(control, dc);

        bool fits = extent.cx <= room && drawn.metrics.tmHeight <= client.bottom;
        bool rightFont = drawn.face == "MS Sans Serif" && drawn.bitmap;
        printf("  %-6s %-44.44s %s%s %2ld px: %3ld/%3d px wide, %2ld/%2ld px high%s\n", name,
               text, drawn.face.c_str(), drawn.bitmap ? "" : " (outline)",
               drawn.metrics.tmHeight, extent.cx, room, drawn.metrics.tmHeight, client.bottom,
               fits ? "" : "  DOES NOT FIT");
        EXPECT_TRUE(fits) << program << ", " << caption << ": \"" << text << "\" is "
                          << extent.cx << " px wide for " << room << " px";
        EXPECT_TRUE(rightFont) << program << ", " << caption << ": \"" << text << "\" in "
                               << drawn.face << (drawn.bitmap ? "" : " (outline)");
        faults += !fits + !rightFont;
    }
    return faults;
}

TEST(Look, EveryTextFitsItsControlOnOneLineInBitmapMsSansSerif)
{
    const int Pages[] = {IDD_WELCOME,   IDD_LICENCE,   IDD_EXIT,
                         IDD_DIRECTORY, IDD_COMPLETED, IDD_PROGRESS};
    InitCommonControls();
    // The progress page is a child window; the other pages are owned by it as by setup's
    // main window.
    HWND main = CreateWindowA("Static", "", WS_POPUP, 0, 0, 1024, 768, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(main != NULL);
    int faults = 0;
    for (const char *program : {"setup.exe", "setup-copy.exe"}) {
        HMODULE module =
            LoadLibraryExA(ShippedProgram(program).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module != NULL) << "cannot load " << ShippedProgram(program);
        for (int id : Pages) {
            HWND page = CreateDialogParamA(module, MAKEINTRESOURCEA(id), main, PageProc, 0);
            EXPECT_TRUE(page != NULL) << program << ": page " << id << " not created";
            if (!page)
                continue;
            faults += MeasurePage(program, page);
            DestroyWindow(page);
        }
        FreeLibrary(module);
    }
    DestroyWindow(main);
    printf("%d texts do not fit or are not in the bitmap MS Sans Serif\n", faults);
}

}  // namespace
