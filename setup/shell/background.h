#ifndef VELTRANE_SHELL_BACKGROUND_H
#define VELTRANE_SHELL_BACKGROUND_H

enum { BandCount = 30, BandRight = 10000 };

// Paints the 30 blue bands into the main window's update region.
void PaintBackground(void);
void ResetPaintState(void);

// Height of each band for a client area of the given height (0 below 29 pixels).
int BandHeight(int clientHeight);
// Blue of band 0..29: 255 at the top, 8 less per band, never below 0.
int BandBlue(int band);

#endif
