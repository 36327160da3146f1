#include "ui/number_icon.h"

#include "core/gpu_monitor.h"
#include "ui/number_icon_rules.h"

namespace {

constexpr UINT MeasureFormat = DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_CENTER;
constexpr UINT DrawFormat = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

// The number with its degree sign when that fits the icon's width in the colour DC's font,
// otherwise the bare number; "?" for a missing reading, which needs no measuring.
void ChooseIconText(HDC colourDc, int width, int height, std::uint8_t value, char* text,
                    std::size_t capacity) {
    FormatIconNumber(text, capacity, value, true);
    if (value == UnreadIconValue)
        return;
    RECT measured = {0, 0, width, height};
    DrawTextA(colourDc, text, -1, &measured, MeasureFormat);
    if (measured.right > width)
        FormatIconNumber(text, capacity, value, false);
}

// Draws the text into both bitmaps with transparent background: black on the white mask (the
// mask DC keeps its default text colour), IconColor on the black colour bitmap.
void DrawIconText(HDC maskDc, HDC colourDc, int width, int height, std::uint8_t value) {
    const COLORREF previousColour = SetTextColor(colourDc, Monitor.IconColor);
    const int previousMaskMode = SetBkMode(maskDc, TRANSPARENT);
    const int previousColourMode = SetBkMode(colourDc, TRANSPARENT);

    char text[8];
    ChooseIconText(colourDc, width, height, value, text, sizeof text);
    RECT area = {0, 0, width, height};
    DrawTextA(maskDc, text, -1, &area, DrawFormat);
    DrawTextA(colourDc, text, -1, &area, DrawFormat);

    if (previousMaskMode != 0)
        SetBkMode(maskDc, previousMaskMode);
    if (previousColourMode != 0)
        SetBkMode(colourDc, previousColourMode);
    if (previousColour != CLR_INVALID)
        SetTextColor(colourDc, previousColour);
}

// Draws the text in IconFont; when the font cannot be made, the DCs' default fonts draw it.
void DrawInIconFont(HDC maskDc, HDC colourDc, int width, int height, std::uint8_t value) {
    HFONT font = CreateFontIndirectA(&Monitor.IconFont);
    HGDIOBJ previousMaskFont = nullptr;
    HGDIOBJ previousColourFont = nullptr;
    if (font) {
        previousMaskFont = SelectObject(maskDc, font);
        previousColourFont = SelectObject(colourDc, font);
    }

    DrawIconText(maskDc, colourDc, width, height, value);

    if (font) {
        if (previousMaskFont)
            SelectObject(maskDc, previousMaskFont);
        if (previousColourFont)
            SelectObject(colourDc, previousColourFont);
        DeleteObject(font);
    }
}

// Clears the mask to white and the colour bitmap to black, then draws the number into both.
void PaintIconBitmaps(HDC maskDc, HBITMAP maskBitmap, HDC colourDc, HBITMAP colourBitmap, int width,
                      int height, std::uint8_t value) {
    HGDIOBJ previousMaskBitmap = SelectObject(maskDc, maskBitmap);
    PatBlt(maskDc, 0, 0, width, height, WHITENESS);
    HGDIOBJ previousColourBitmap = SelectObject(colourDc, colourBitmap);
    PatBlt(colourDc, 0, 0, width, height, BLACKNESS);

    DrawInIconFont(maskDc, colourDc, width, height, value);

    if (previousMaskBitmap)
        SelectObject(maskDc, previousMaskBitmap);
    if (previousColourBitmap)
        SelectObject(colourDc, previousColourBitmap);
}

} // namespace

HICON RenderNumberIcon(std::uint8_t value) {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);

    HDC screenDc = GetDC(nullptr);
    if (!screenDc)
        return nullptr;
    HDC colourDc = CreateCompatibleDC(screenDc);
    HDC maskDc = colourDc ? CreateCompatibleDC(colourDc) : nullptr;
    HBITMAP maskBitmap = maskDc ? CreateBitmap(width, height, 1, 1, nullptr) : nullptr;
    HBITMAP colourBitmap = maskBitmap ? CreateCompatibleBitmap(screenDc, width, height) : nullptr;
    if (!colourBitmap) {
        // Free what was made, newest first.
        if (maskBitmap)
            DeleteObject(maskBitmap);
        if (maskDc)
            DeleteDC(maskDc);
        if (colourDc)
            DeleteDC(colourDc);
        ReleaseDC(nullptr, screenDc);
        return nullptr;
    }
    ReleaseDC(nullptr, screenDc);

    PaintIconBitmaps(maskDc, maskBitmap, colourDc, colourBitmap, width, height, value);
    DeleteDC(maskDc);
    DeleteDC(colourDc);

    // The icon keeps copies of both bitmaps.
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.xHotspot = static_cast<DWORD>(width / 2);
    info.yHotspot = static_cast<DWORD>(height / 2);
    info.hbmMask = maskBitmap;
    info.hbmColor = colourBitmap;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colourBitmap);
    DeleteObject(maskBitmap);
    return icon;
}
