// Drawing resources, the skin's faces and painting of the MainWindow.
#pragma once
#include <windows.h>

// A face of the skin sheet, given top-down as (x, y, width, height).
struct SheetFace {
    int X, Y, Width, Height;
};

// One routine makes every font; with a window it also hands the font to it.
HFONT MakeFont(bool fixedPitch, int height, int width, int weight, HWND window);
void SetDrawingRectangles();
// Copies a face 1:1 from the sheet to the window surface at (x, y).
void DrawFace(const SheetFace& face, int x, int y);
void PaintWindow(HWND window);
