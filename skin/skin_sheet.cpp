#include "skin/skin_sheet.h"

#include <cstring>

#include "app/app_state.h"
#include "app/resources.h"
#include "skin/packed_image.h"

namespace {

uint8_t* RefuseSheet(uint8_t* unpacked) {
    if (unpacked) HeapFree(GetProcessHeap(), 0, unpacked);
    MessageBoxA(App.MainWindow, "The window skin is damaged and cannot be shown.", "Error", MB_OK);
    DestroyWindow(App.MainWindow);
    return nullptr;
}

}  // namespace

uint8_t* LoadSkinSheet(const char* resourceName, BITMAPINFO* description) {
    uint32_t packedSize = 0;
    const uint8_t* packed = LockProgramResource(resourceName, &packedSize);
    const uint32_t size = packed ? PackedImageSize(packed, packedSize) : 0;
    if (size == 0) return RefuseSheet(nullptr);
    auto* unpacked = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (!unpacked || UnpackImage(packed, packedSize, unpacked, size) != size)
        return RefuseSheet(unpacked);
    int32_t width = 0, height = 0;
    if (!SheetPixelLayout(unpacked, size, &width, &height)) return RefuseSheet(unpacked);

    memset(description, 0, 44);
    description->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    description->bmiHeader.biWidth = width;
    description->bmiHeader.biHeight = height;  // positive: bottom-up rows
    description->bmiHeader.biPlanes = 1;
    description->bmiHeader.biBitCount = 24;
    description->bmiHeader.biCompression = BI_RGB;

    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    const size_t pixelsSize = stride * static_cast<size_t>(height);
    auto* pixels = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, pixelsSize));
    if (!pixels) return RefuseSheet(unpacked);
    CopySheetPixels(unpacked, size, pixels, pixelsSize);
    HeapFree(GetProcessHeap(), 0, unpacked);
    return pixels;
}
