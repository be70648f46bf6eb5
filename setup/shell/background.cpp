// The blue gradient behind the pages: 30 bands from blue 255 down in steps of 8.
#include "shell/background.h"
#include "shell/state.h"

int BandHeight(int clientHeight)
{
    return (short)(clientHeight / 29);
}

int BandBlue(int band)
{
    int blue = 255 - 8 * band;
    return blue < 0 ? 0 : blue;
}

void ResetPaintState(void)
{
    Painter.contextHeld = 0;
    Painter.painting = 0;
}

static void FillBand(HDC context, int band, int height)
{
    RECT rect;
    LOGBRUSH look;
    HBRUSH brush;

    rect.left = 0;
    rect.top = (short)(band * height);
    rect.right = BandRight;
    rect.bottom = (short)((band + 1) * height);
    look.lbStyle = BS_SOLID;
    look.lbColor = RGB(0, 0, BandBlue(band));
    look.lbHatch = 0;
    // One brush per band, gone at once: nothing is kept between paints.
    brush = CreateBrushIndirect(&look);
    FillRect(context, &rect, brush);
    DeleteObject(brush);
}

void PaintBackground(void)
{
    PAINTSTRUCT paint;
    int height;
    int band;

    if (!GetUpdateRect(MainWindow, NULL, FALSE))
        return;
    Painter.painting = 1;
    if (!Painter.contextHeld) {
        Painter.contextHeld = 1;
        Painter.context = BeginPaint(MainWindow, &paint);
        SetBkMode(Painter.context, TRANSPARENT);
    }
    height = BandHeight(ClientHeight);
    for (band = 0; band < BandCount; band++)
        FillBand(Painter.context, band, height);
    if (Painter.contextHeld) {
        EndPaint(MainWindow, &paint);
        Painter.context = PaintContextNone;
        Painter.contextHeld = 0;
    }
    Painter.painting = 0;
}
