// The number icons on the taskbar of a Wine virtual desktop (this program runs inside one, see
// run-in-desktop.sh): which number each entry shows after each reading, read from the screen
// and compared with the picture a number icon of that value must give, the entries' tooltips,
// and a screenshot of two icons side by side kept in the build folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "sampling_support.h"
#include "support/tray_host.h"
#include "support/top_down_bitmap.h"

namespace {

constexpr COLORREF IconColor = RGB(255, 0, 0);
constexpr char IconColorSetting[] = "IconColor=255";
constexpr unsigned NoNumber = 255;
constexpr int RefreshCommand = 40001;

// The program's default icon font: 11-unit Arial, normal weight, variable pitch of the Swiss
// family, drawn without smoothing.
LOGFONTA DefaultIconFont() {
    LOGFONTA font = {};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    font.lfQuality = NONANTIALIASED_QUALITY;
    lstrcpyA(font.lfFaceName, "Arial");
    return font;
}

// What a number icon of t must look like on this background: "t°", or "t" when that is wider
// than the icon, or "?" for no reading, centred in the icon colour; the background shows
// everywhere else.
ScreenImage ExpectedIcon(unsigned t, COLORREF background) {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    ScreenImage image;
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const LOGFONTA logFont = DefaultIconFont();
    HFONT font = CreateFontIndirectA(&logFont);
    if (!dc || !bitmap || !font) {
        ADD_FAILURE() << "cannot draw the expected icon";
    } else {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        const std::uint32_t fill =
            (GetRValue(background) << 16) | (GetGValue(background) << 8) | GetBValue(background);
        std::fill(pixels, pixels + width * height, fill);
        HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
        HGDIOBJ previousFont = SelectObject(dc, font);
        SetTextColor(dc, IconColor);
        SetBkMode(dc, TRANSPARENT);
        std::string text = "?";
        RECT area = {0, 0, width, height};
        if (t != NoNumber) {
            text = std::to_string(t) + "\xB0";
            DrawTextA(dc, text.c_str(), -1, &area,
                      DT_CALCRECT | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
            if (area.right > width) {
                text = std::to_string(t);
            }
            area = {0, 0, width, height};
        }
        DrawTextA(dc, text.c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
        GdiFlush();
        SelectObject(dc, previousFont);
        SelectObject(dc, previousBitmap);
        image.Width = width;
        image.Height = height;
        for (int i = 0; i < width * height; ++i) {
            const std::uint32_t pixel = pixels[i];
            image.Pixels.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
        }
    }
    if (font) {
        DeleteObject(font);
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    if (dc) {
        DeleteDC(dc);
    }
    return image;
}

// The icon drawn centred in an entry's cell, and the taskbar colour at the cell's corner.
bool CaptureEntryIcon(const RECT& cell, ScreenImage* icon, COLORREF* background) {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    ScreenImage whole;
    if (!CaptureScreen(cell, &whole)) {
        return false;
    }
    *background = whole.At(0, 0);
    const int left = cell.left + (whole.Width - width) / 2;
    const int top = cell.top + (whole.Height - height) / 2;
    return CaptureScreen(RECT{left, top, left + width, top + height}, icon);
}

// The icon as text: '#' icon colour, '.' the background, 'x' anything else.
std::string Picture(const ScreenImage& image, COLORREF background) {
    std::string text;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const COLORREF pixel = image.At(x, y);
            text += pixel == IconColor ? '#' : pixel == background ? '.' : 'x';
        }
        text += '\n';
    }
    return text;
}

bool FindEntry(const std::string& tip, RECT* cell) {
    for (const TrayEntryView& entry : TrayEntries()) {
        if (entry.Tip == tip) {
            *cell = entry.Area;
            return true;
        }
    }
    return false;
}

std::vector<std::string> SortedTips() {
    std::vector<std::string> tips = TrayTooltips();
    std::sort(tips.begin(), tips.end());
    return tips;
}

class TrayDesktopTest : public KelvaneEndToEnd {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(KelvaneEndToEnd::SetUp());
        ASSERT_TRUE(WaitForTrayHost()) << "no taskbar in this desktop";
    }

    // Waits until the entry with this tooltip shows the number icon of t on the taskbar
    // (the host repaints after the program's change reached it). The icon is the digits in the
    // icon colour on the taskbar's own colour: the icon's black background stays transparent.
    void ExpectEntryShows(const std::string& tip, unsigned t) {
        SCOPED_TRACE(testing::Message() << "entry \"" << tip << "\", value " << t);
        ScreenImage shown;
        ScreenImage expected;
        COLORREF background = 0;
        const bool matched = WaitUntil([&] {
            RECT cell = {};
            if (!FindEntry(tip, &cell) || !CaptureEntryIcon(cell, &shown, &background)) {
                return false;
            }
            expected = ExpectedIcon(t, background);
            return shown.Pixels == expected.Pixels;
        });
        EXPECT_TRUE(matched) << "shown:\n"
                             << Picture(shown, background) << "expected:\n"
                             << Picture(expected, background);
        EXPECT_NE(background, RGB(0, 0, 0)) << "the taskbar is black: transparency untested";
        const auto digitPixels = std::count(shown.Pixels.begin(), shown.Pixels.end(), IconColor);
        EXPECT_GT(digitPixels, 10) << "too few pixels in the icon colour";
    }

    void WaitForReadings(int readings) {
        ASSERT_TRUE(WaitUntil([&] { return Gpu1Readings() >= readings || !IsRunning(First); }));
        ASSERT_GE(Gpu1Readings(), readings) << "the program ended";
    }
};

TEST_F(TrayDesktopTest, TwoGpusShowTheirNumbersSideBySide) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60", "RunHidden=1", IconColorSetting})));
    ASSERT_TRUE(WriteSimScenario(
        TwoGpuScenario(SteppingGpu(1, Gpu1Name, "52"), SteppingGpu(2, Gpu2Name, "47"))));
    HWND dialog = StartToFirstSample(2);
    ASSERT_NE(dialog, nullptr);

    EXPECT_EQ(SortedTips(), (std::vector<std::string>{"GPU 1", "GPU 2"}));
    ExpectEntryShows("GPU 1", 52);
    ExpectEntryShows("GPU 2", 47);

    // The whole desktop, with the taskbar along its bottom edge.
    ScreenImage desktop;
    ASSERT_TRUE(CaptureScreen(
        RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, &desktop));
    const std::string exeFolder = KelvaneExePath().substr(0, KelvaneExePath().rfind('\\'));
    const std::string shot = exeFolder.substr(0, exeFolder.rfind('\\')) + "\\e2e-tray-icons.png";
    EXPECT_TRUE(WritePngFile(shot, desktop)) << shot;
    CloseAndExpectExitZero(dialog);
}

TEST_F(TrayDesktopTest, RefreshChangesTheNumberButNotTheHistory) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60", IconColorSetting})));
    // Readings: start-up, first sample, the refresh command, the refresh key.
    ASSERT_TRUE(WriteSimScenario(OneGpuScenario(SteppingGpu(1, Gpu1Name, "50 50 63 64"))));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForVisible(dialog, true));
    // One GPU: its entry's tooltip is the GPU's name.
    EXPECT_EQ(TrayTooltips(), std::vector<std::string>{Gpu1Name});
    ExpectEntryShows(Gpu1Name, 50);

    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForReadings(StartupReadings + 2));
    ExpectEntryShows(Gpu1Name, 63);

    // F5 through the program's keyboard shortcuts.
    ASSERT_TRUE(PostKey(dialog, VK_F5));
    ASSERT_NO_FATAL_FAILURE(WaitForReadings(StartupReadings + 3));
    ExpectEntryShows(Gpu1Name, 64);

    CloseAndExpectExitZero(dialog);
    EXPECT_EQ(Gpu1Readings(), StartupReadings + 3);
    // Only the first sample entered the history.
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({50})));
}

TEST_F(TrayDesktopTest, FailingGpu1ShowsQuestionMarkWhileGpu2KeepsItsNumbers) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60", "RunHidden=1", IconColorSetting})));
    // GPU 1 reads 52 at start-up and the first sample, then fails with -5.
    ASSERT_TRUE(WriteSimScenario(TwoGpuScenario(SteppingGpu(1, Gpu1Name, "52", "0 0 -5"),
                                                SteppingGpu(2, Gpu2Name, "47 47 58"))));
    HWND dialog = StartToFirstSample(2);
    ASSERT_NE(dialog, nullptr);
    ExpectEntryShows("GPU 1", 52);
    ExpectEntryShows("GPU 2", 47);

    ASSERT_TRUE(PostToWindow(dialog, WM_TIMER, 100, 0));
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 6, First.Process));
    ExpectEntryShows("GPU 1", NoNumber);
    ExpectEntryShows("GPU 2", 58);

    CloseAndExpectExitZero(dialog);
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({255, 52}, {58, 47})));
}

} // namespace
