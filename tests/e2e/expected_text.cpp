// Draws a text as the program would, for the end-to-end runs to compare the
// screen with: the program's own text font, made by the program's own code
// with the fonts installed where it runs, at a point, in a colour, on a
// background picture of the window.
//
// usage: expected_text BACKGROUND.bmp OUT.bmp X Y RRGGBB TEXT
//        expected_text BACKGROUND.bmp OUT.bmp --identity RRGGBB TEXT
// The second draws the text as the measuring view's identity line, in its
// font and place (TEXT in UTF-8).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_state.h"
#include "skin/identity_paint.h"
#include "skin/drawing.h"

namespace {

constexpr int kWidth = 350, kHeight = 200;

BITMAPINFOHEADER WindowBitmapHeader() {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = -kHeight;  // top row first
    header.biPlanes = 1;
    header.biBitCount = 32;
    return header;
}

bool SaveBitmap(const char* path, const uint32_t* pixels) {
    const BITMAPINFOHEADER info = WindowBitmapHeader();
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + kWidth * kHeight * 4;
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool written = std::fwrite(&header, sizeof header, 1, file) == 1 &&
                   std::fwrite(&info, sizeof info, 1, file) == 1 &&
                   std::fwrite(pixels, 4, kWidth * kHeight, file) == size_t(kWidth * kHeight);
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const bool identity = argc == 6 && std::strcmp(argv[3], "--identity") == 0;
    if (argc != 7 && !identity) {
        std::fputs("usage: expected_text BACKGROUND.bmp OUT.bmp X Y RRGGBB TEXT\n"
                   "       expected_text BACKGROUND.bmp OUT.bmp --identity RRGGBB TEXT\n", stderr);
        return 2;
    }
    HBITMAP background = static_cast<HBITMAP>(
        LoadImageA(nullptr, argv[1], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!background) return 1;
    BITMAPINFO info = {};
    info.bmiHeader = WindowBitmapHeader();
    void* bits = nullptr;
    HDC surface = CreateCompatibleDC(nullptr);
    HBITMAP window = CreateDIBSection(surface, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(surface, window);
    HDC picture = CreateCompatibleDC(nullptr);
    SelectObject(picture, background);
    BitBlt(surface, 0, 0, kWidth, kHeight, picture, 0, 0, SRCCOPY);

    App.WindowDC = surface;
    CreateFonts();  // selects the text font, as every paint does
    const unsigned long rgb = std::strtoul(argv[identity ? 4 : 5], nullptr, 16);
    const COLORREF colour = RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
    SetTextColor(surface, colour);
    SetBkMode(surface, TRANSPARENT);
    if (identity)
        DrawIdentityText(surface, argv[5], colour);
    else
        TextOutA(surface, std::atoi(argv[3]), std::atoi(argv[4]), argv[6], static_cast<int>(std::strlen(argv[6])));
    GdiFlush();
    return SaveBitmap(argv[2], static_cast<const uint32_t*>(bits)) ? 0 : 1;
}
