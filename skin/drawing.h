// Drawing resources, the skin's faces and painting of the MainWindow.
#pragma once
#include <windows.h>

#include "skin/controls.h"

// The three fonts, TextFont selected into the window's surface.
void CreateFonts();
// SearchPen and BarBrush selected into the window's surface, ReadoutBrush beside them.
void CreatePenAndBrushes();
void SetDrawingRectangles();
// Copies a face 1:1 from the sheet to the window surface at a point.
void DrawFace(const SheetFace& face, POINT at);
// Draws a control's current normal or hover face, if it has one.
void DrawControlFace(ButtonRegion control, bool hover);
// Draws the typed line at once, outside painting: its first count characters.
void DrawEntryLine(int count);
void PaintWindow(HWND window);
