// The header of a 32-bit bitmap whose rows run from the top down, as the pixel checks read
// them: one 0x00RRGGBB value per pixel, row after row.
#pragma once

#include <windows.h>

inline BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
