#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/gpu_monitor.h"
#include "support/program_files.h"
#include "ui/number_icon.h"
#include "support/top_down_bitmap.h"

namespace {

constexpr COLORREF DigitColour = RGB(0x12, 0xC4, 0x56);
constexpr UINT CentredLine = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

void UseIconFont(const char* face, LONG height, LONG weight) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfQuality = NONANTIALIASED_QUALITY;
    std::strcpy(font.lfFaceName, face);
    Monitor.IconFont = font;
    Monitor.IconColor = DigitColour;
}

// One bitmap's pixels as 0x00RRGGBB, top row first.
std::vector<std::uint32_t> ReadPixels(HBITMAP bitmap, int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(lines, height);
    return pixels;
}

struct IconImage {
    int Width = 0;
    int Height = 0;
    DWORD HotspotX = 0;
    DWORD HotspotY = 0;
    std::vector<std::uint32_t> Mask;
    std::vector<std::uint32_t> Colour;
};

IconImage ReadIcon(HICON icon) {
    IconImage image;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        ADD_FAILURE() << "GetIconInfo failed";
        return image;
    }
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    image.Width = colour.bmWidth;
    image.Height = colour.bmHeight;
    image.HotspotX = info.xHotspot;
    image.HotspotY = info.yHotspot;
    image.Mask = ReadPixels(info.hbmMask, image.Width, image.Height);
    image.Colour = ReadPixels(info.hbmColor, image.Width, image.Height);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return image;
}

// Where text lands when drawn centred into a small-icon-sized area in IconFont, drawn
// independently of the icon code: white on black in a 32-bit bitmap.
std::vector<bool> ReferenceGlyph(const char* text) {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
    HFONT font = CreateFontIndirectA(&Monitor.IconFont);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT area = {0, 0, width, height};
    DrawTextA(dc, text, -1, &area, CentredLine);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    std::vector<std::uint32_t> pixels = ReadPixels(bitmap, width, height);
    DeleteObject(bitmap);
    std::vector<bool> glyph;
    for (std::uint32_t pixel : pixels)
        glyph.push_back(pixel != 0);
    return glyph;
}

int TextWidth(const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&Monitor.IconFont);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT area = {0, 0, 0, 0};
    DrawTextA(dc, text, -1, &area, DT_CALCRECT | CentredLine);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteDC(dc);
    return area.right;
}

// The icon must show exactly the reference glyph: black in the mask and IconColor in the
// colour bitmap where it is set, white in the mask and black in colour everywhere else.
void ExpectIconShows(std::uint8_t value, const char* text) {
    SCOPED_TRACE(text);
    std::vector<bool> glyph = ReferenceGlyph(text);
    ASSERT_NE(std::count(glyph.begin(), glyph.end(), true), 0) << "reference draws nothing";
    HICON icon = RenderNumberIcon(value);
    ASSERT_NE(icon, nullptr);
    IconImage image = ReadIcon(icon);
    DestroyIcon(icon);
    ASSERT_EQ(image.Mask.size(), glyph.size());
    int wrong = 0;
    for (std::size_t i = 0; i < glyph.size(); ++i) {
        const std::uint32_t mask = glyph[i] ? 0x000000 : 0xFFFFFF;
        const std::uint32_t colour = glyph[i] ? 0x12C456 : 0x000000; // DigitColour as RGB
        if (image.Mask[i] != mask || image.Colour[i] != colour)
            ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "pixels that differ from the reference";
}

bool SameGlyph(const char* a, const char* b) {
    return ReferenceGlyph(a) == ReferenceGlyph(b);
}

TEST(NumberIcon, SmallIconSizeWithCentreHotspot) {
    UseIconFont("Tahoma", -11, FW_NORMAL);
    ASSERT_EQ(GetSystemMetrics(SM_CXSMICON), 16);
    ASSERT_EQ(GetSystemMetrics(SM_CYSMICON), 16);
    HICON icon = RenderNumberIcon(42);
    ASSERT_NE(icon, nullptr);
    IconImage image = ReadIcon(icon);
    DestroyIcon(icon);
    EXPECT_EQ(image.Width, 16);
    EXPECT_EQ(image.Height, 16);
    EXPECT_EQ(image.HotspotX, 8u);
    EXPECT_EQ(image.HotspotY, 8u);
}

TEST(NumberIcon, NumberWithDegreeSignInIconColour) {
    UseIconFont("Tahoma", -8, FW_NORMAL);
    ASSERT_LE(TextWidth("42\xB0"), 16);
    // The degree sign must make a visible difference, or the comparison proves nothing.
    ASSERT_FALSE(SameGlyph("42\xB0", "42"));
    ExpectIconShows(42, "42\xB0");
    ExpectIconShows(0, "0\xB0");
}

TEST(NumberIcon, QuestionMarkWithoutReading) {
    UseIconFont("Tahoma", -8, FW_NORMAL);
    ASSERT_FALSE(SameGlyph("?", "255\xB0"));
    ASSERT_FALSE(SameGlyph("?", "255"));
    ExpectIconShows(255, "?");
}

TEST(NumberIcon, BareNumberWhenTheDegreeSignDoesNotFit) {
    UseIconFont("Tahoma", -11, FW_BOLD);
    ASSERT_GT(TextWidth("88\xB0"), 16);
    ASSERT_LE(TextWidth("88"), 16);
    ExpectIconShows(88, "88");
    // Wider than the icon even without the sign: centred and cut off on both sides.
    ASSERT_GT(TextWidth("188"), 16);
    ExpectIconShows(188, "188");
}

TEST(NumberIcon, RenderingLeavesNoObjectBehind) {
    UseIconFont("Tahoma", -11, FW_NORMAL);
    // The first rendering loads the font and the screen DC's caches.
    DestroyIcon(RenderNumberIcon(42));
    DestroyIcon(RenderNumberIcon(255));
    const int before = CountGdiObjects();
    ASSERT_GT(before, 0) << "the object count does not work here";

    // One render without destroy must be seen, or the measure could not catch a leak.
    HICON kept = RenderNumberIcon(42);
    EXPECT_GT(CountGdiObjects(), before);
    DestroyIcon(kept);

    // A cycle costs 0.6 to 1.8 ms under Wine (mostly CreateIconIndirect and DestroyIcon), so
    // 100,000 would take one to three minutes. The count is exact, so even one object left per
    // cycle shows; 12,000 cycles also pass Windows' default quota of 10,000 GDI objects per
    // process, where such a leak would make rendering fail.
    constexpr int Cycles = 12000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Cycles; ++i) {
        HICON icon = RenderNumberIcon(static_cast<std::uint8_t>(i));
        ASSERT_NE(icon, nullptr) << "cycle " << i;
        DestroyIcon(icon);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%d render-and-destroy cycles: %lld ms\n", Cycles,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    EXPECT_EQ(CountGdiObjects(), before);
}

} // namespace
