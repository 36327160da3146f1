#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "core/gpu_monitor.h"
#include "resource.h"
#include "ui/history_graph.h"

namespace {

// The graph as the dialog lays it out: a 172 x 52 client snapped to 171 x 53.
constexpr int GraphWidth = 171;
constexpr int GraphHeight = 53;

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF GridGreen = RGB(0, 128, 0);
constexpr COLORREF Trace1Green = RGB(0, 255, 0);
constexpr COLORREF Trace2Cyan = RGB(0, 255, 255);
constexpr COLORREF TextYellow = RGB(255, 255, 0);

bool IsGridColumn(int x) {
    return x % 17 == 0;
}
bool IsGridRow(int y) {
    return y % 13 == 0;
}

// Where the large current temperature may cover the grid: the middle of the item.
bool InCentre(int x, int y) {
    return x >= 60 && x < 111 && y >= 8 && y < 46;
}

void ResetMonitor() {
    Monitor.Trace[0].fill(NoReadingByte);
    Monitor.Trace[1].fill(NoReadingByte);
    Monitor.DualGpu = false;
    Monitor.DetailsShown = 0;
    Monitor.Interval = 60;
    Monitor.PeakTemperature = 0;
    Monitor.AmbientTemperature = 0;
    Monitor.LimitTemperature = 0;
    Monitor.ShownTemperature[0] = NoReading;
    Monitor.ShownTemperature[1] = NoReading;
}

// Number of pens this process can still create: the free room of the GDI handle table, which
// drops by one for every object a paint leaves behind. (GetGuiResources reports 0 under Wine.)
int CreatablePens() {
    std::vector<HPEN> pens;
    pens.reserve(100000);
    while (pens.size() < 100000) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(pens.size() & 0xFF, 0, 0));
        if (pen == nullptr)
            break;
        pens.push_back(pen);
    }
    for (HPEN pen : pens)
        DeleteObject(pen);
    return static_cast<int>(pens.size());
}

// A memory device context holding a top-down DIB section the graph paints into.
class GraphCanvas : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetMonitor();
        Open(32, nullptr);
    }
    void TearDown() override { Close(); }

    // bitsPerPixel 32 (colour) or 8 with a grey colour table.
    void Open(WORD bitsPerPixel, const RGBQUAD* colourTable) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info = {};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = GraphWidth;
        info.header.biHeight = -GraphHeight;
        info.header.biPlanes = 1;
        info.header.biBitCount = bitsPerPixel;
        info.header.biCompression = BI_RGB;
        if (colourTable != nullptr)
            for (int i = 0; i < 256; ++i)
                info.colours[i] = colourTable[i];
        Dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(Dc, nullptr);
        Bitmap = CreateDIBSection(Dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &Bits,
                                  nullptr, 0);
        ASSERT_NE(Bitmap, nullptr);
        OldBitmap = SelectObject(Dc, Bitmap);
        Stride = ((GraphWidth * bitsPerPixel + 31) / 32) * 4;
    }

    void Close() {
        if (OldBitmap != nullptr)
            SelectObject(Dc, OldBitmap);
        if (Bitmap != nullptr)
            DeleteObject(Bitmap);
        if (Dc != nullptr)
            DeleteDC(Dc);
        Dc = nullptr;
        Bitmap = nullptr;
        OldBitmap = nullptr;
    }

    BOOL Paint(UINT itemState = 0, WPARAM id = IDC_GRAPH, bool withItem = true) {
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(id);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = itemState;
        item.hDC = Dc;
        item.rcItem = {0, 0, GraphWidth, GraphHeight};
        BOOL painted =
            DrawHistoryGraph(nullptr, id, withItem ? reinterpret_cast<LPARAM>(&item) : 0);
        GdiFlush();
        return painted;
    }

    const BYTE* Row(int y) const { return static_cast<const BYTE*>(Bits) + y * Stride; }

    COLORREF Pixel(int x, int y) const {
        const BYTE* p = Row(y) + x * 4;
        return RGB(p[2], p[1], p[0]);
    }

    // The colour-table index of a pixel of the 8-bit canvas: its grey level.
    int Grey(int x, int y) const { return Row(y)[x]; }

    int CountIn(COLORREF colour, int left, int top, int right, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                count += Pixel(x, y) == colour;
        return count;
    }

    bool AnyInColumn(COLORREF colour, int x, int top, int bottom) const {
        return CountIn(colour, x, top, x + 1, bottom) > 0;
    }

    HDC Dc = nullptr;
    HBITMAP Bitmap = nullptr;
    HGDIOBJ OldBitmap = nullptr;
    void* Bits = nullptr;
    int Stride = 0;
};

TEST_F(GraphCanvas, BlackBackgroundAndGridOnTheSnappedLines) {
    // Start from white so that a missing background shows.
    PatBlt(Dc, 0, 0, GraphWidth, GraphHeight, WHITENESS);
    ASSERT_TRUE(Paint());
    int yellow = 0;
    for (int y = 0; y < GraphHeight; ++y) {
        for (int x = 0; x < GraphWidth; ++x) {
            COLORREF pixel = Pixel(x, y);
            if (InCentre(x, y)) {
                yellow += pixel == TextYellow;
                continue;
            }
            COLORREF expected = IsGridColumn(x) || IsGridRow(y) ? GridGreen : Black;
            ASSERT_EQ(pixel, expected) << x << "," << y;
        }
    }
    // The current temperature ("?") in the middle; no trace without samples.
    EXPECT_GT(yellow, 10);
}

TEST_F(GraphCanvas, TraceOneLiesOverTraceTwoAndGapsAreBridged) {
    Monitor.DualGpu = true;
    Monitor.Trace[0].fill(70); // y = 53 * 30 / 100 = 15
    Monitor.Trace[0][20] = 20; // a spike down to y = 42 at x = 131, crossing trace 2
    for (int i = 60; i < 70; ++i)
        Monitor.Trace[0][i] = NoReadingByte; // a gap between x = 53 and x = 31
    Monitor.Trace[1].fill(40);               // y = 53 * 60 / 100 = 31
    ASSERT_TRUE(Paint());

    // Trace 2 runs across the whole row, grid columns included, except where trace 1's spike
    // crosses it: there trace 1 wins.
    for (int x = 0; x < GraphWidth; ++x) {
        if (InCentre(x, 31) || (x >= 129 && x <= 133))
            continue;
        ASSERT_EQ(Pixel(x, 31), Trace2Cyan) << x;
    }
    EXPECT_GT(CountIn(Trace1Green, 129, 31, 134, 32), 0);
    EXPECT_EQ(CountIn(Trace2Cyan, 129, 31, 134, 32) + CountIn(Trace1Green, 129, 31, 134, 32), 5);

    // Trace 1 runs across row 15, the missing samples bridged by a straight line.
    for (int x = 0; x < GraphWidth; ++x) {
        if (InCentre(x, 15) || (x >= 130 && x <= 132))
            continue;
        ASSERT_EQ(Pixel(x, 15), Trace1Green) << x;
    }
    EXPECT_EQ(CountIn(Trace1Green, 32, 15, 53, 16), 21);
}

TEST_F(GraphCanvas, SecondTraceOnlyWithTwoGpusAndLeadingGapFromTheCorner) {
    for (int i = 10; i < 256; ++i)
        Monitor.Trace[0][i] = 70; // samples 0..9 missing
    Monitor.Trace[1].fill(40);
    ASSERT_TRUE(Paint());
    EXPECT_EQ(CountIn(Trace2Cyan, 0, 0, GraphWidth, GraphHeight), 0);
    // The first segment runs from the bottom-right corner (171, 53) to sample 10 at (151, 15):
    // at x = 161 it passes about y = 34, and row 15 stays empty right of x = 152.
    EXPECT_TRUE(AnyInColumn(Trace1Green, 161, 32, 37));
    EXPECT_TRUE(AnyInColumn(Trace1Green, 169, 47, 53));
    EXPECT_EQ(CountIn(Trace1Green, 153, 15, GraphWidth, 16), 0);
    EXPECT_EQ(CountIn(Trace1Green, 0, 15, 60, 16), 60);
}

TEST_F(GraphCanvas, OverlayOnlyWithDetailsOrWhileHeld) {
    // Label corners: "0°" bottom left, "8 min/div" top right, "dt: 60 s" bottom right.
    auto labelPixels = [this] {
        return CountIn(TextYellow, 0, 36, 30, GraphHeight) +
               CountIn(TextYellow, 111, 0, GraphWidth, 14) +
               CountIn(TextYellow, 111, 40, GraphWidth, GraphHeight);
    };
    auto topCentrePixels = [this] { return CountIn(TextYellow, 55, 0, 111, 10); };
    auto bottomCentrePixels = [this] { return CountIn(TextYellow, 55, 44, 111, GraphHeight); };

    ASSERT_TRUE(Paint());
    EXPECT_EQ(labelPixels(), 0);
    EXPECT_EQ(topCentrePixels() + bottomCentrePixels(), 0);

    ASSERT_TRUE(Paint(ODS_SELECTED));
    EXPECT_GT(labelPixels(), 30);
    // No ambient or limit temperature: their labels are left out.
    EXPECT_EQ(topCentrePixels() + bottomCentrePixels(), 0);

    Monitor.DetailsShown = 1;
    Monitor.AmbientTemperature = 35;
    Monitor.LimitTemperature = 97;
    ASSERT_TRUE(Paint());
    EXPECT_GT(labelPixels(), 30);
    EXPECT_GT(topCentrePixels(), 10);
    EXPECT_GT(bottomCentrePixels(), 10);

    // Every item action paints the same.
    Monitor.DetailsShown = 0;
    ASSERT_TRUE(Paint(ODS_FOCUS));
    EXPECT_EQ(labelPixels(), 0);
}

TEST_F(GraphCanvas, OtherControlsAndMissingItemDrawNothing) {
    PatBlt(Dc, 0, 0, GraphWidth, GraphHeight, WHITENESS);
    GdiFlush();
    EXPECT_FALSE(Paint(0, IDC_INTERVAL));
    EXPECT_FALSE(Paint(0, 0));
    EXPECT_FALSE(Paint(0, IDC_GRAPH, false));
    EXPECT_EQ(CountIn(RGB(255, 255, 255), 0, 0, GraphWidth, GraphHeight), GraphWidth * GraphHeight);
}

TEST_F(GraphCanvas, DeviceContextLeftAsFoundAndNothingLeaks) {
    Monitor.DualGpu = true;
    Monitor.DetailsShown = 1;
    Monitor.AmbientTemperature = 30;
    Monitor.LimitTemperature = 90;
    Monitor.Trace[0].fill(60);
    Monitor.Trace[1].fill(50);

    HPEN pen = CreatePen(PS_DASH, 1, RGB(9, 8, 7));
    LOGFONTA logFont = {};
    logFont.lfHeight = -9;
    HFONT font = CreateFontIndirectA(&logFont);
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(font, nullptr);
    HGDIOBJ oldPen = SelectObject(Dc, pen);
    HGDIOBJ oldFont = SelectObject(Dc, font);
    HGDIOBJ brush = GetCurrentObject(Dc, OBJ_BRUSH);
    SetTextColor(Dc, RGB(1, 2, 3));
    SetBkColor(Dc, RGB(4, 5, 6));
    SetBkMode(Dc, OPAQUE);

    ASSERT_TRUE(Paint(ODS_SELECTED));
    EXPECT_EQ(GetTextColor(Dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(Dc), RGB(4, 5, 6));
    EXPECT_EQ(GetBkMode(Dc), OPAQUE);
    EXPECT_EQ(GetCurrentObject(Dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(Dc, OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(Dc, OBJ_BRUSH), brush);

    // Many paints with all three pens and both fonts leave the handle table as it was.
    int before = CreatablePens();
    ASSERT_GT(before, 1000);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(Paint(i % 2 ? ODS_SELECTED : 0));
    EXPECT_EQ(CreatablePens(), before);
    // And the last of them still drew with its own pens.
    EXPECT_EQ(Pixel(34, 5), GridGreen);
    EXPECT_EQ(Pixel(40, 21), Trace1Green); // 53 * 40 / 100 = 21
    EXPECT_EQ(Pixel(40, 26), Trace2Cyan);  // 53 * 50 / 100 = 26

    SelectObject(Dc, oldFont);
    SelectObject(Dc, oldPen);
    DeleteObject(font);
    DeleteObject(pen);
}

TEST_F(GraphCanvas, GreyDisplayPaintsInTheMonochromeColumn) {
    Close();
    RGBQUAD greys[256];
    for (int i = 0; i < 256; ++i)
        greys[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    Open(8, greys);
    // The nearest grey to pure red has equal red, green and blue.
    COLORREF nearest = GetNearestColor(Dc, RGB(255, 0, 0));
    ASSERT_EQ(GetRValue(nearest), GetGValue(nearest));
    ASSERT_EQ(GetRValue(nearest), GetBValue(nearest));

    Monitor.DualGpu = true;
    Monitor.Trace[0].fill(70);
    Monitor.Trace[1].fill(40);
    Monitor.DetailsShown = 1;
    ASSERT_TRUE(Paint());
    EXPECT_EQ(Grey(5, 0), 128);   // grid
    EXPECT_EQ(Grey(5, 2), 0);     // background
    EXPECT_EQ(Grey(40, 15), 192); // trace 1
    EXPECT_EQ(Grey(40, 31), 255); // trace 2
    int white = 0;
    for (int y = 36; y < GraphHeight; ++y)
        for (int x = 0; x < 30; ++x)
            white += Grey(x, y) == 255;
    EXPECT_GT(white, 10); // the "0°" label in white
}

// A parent window with a borderless owner-drawn button as control IDC_GRAPH.
struct GraphWindow {
    HWND Parent;
    HWND Graph;
};

GraphWindow CreateGraphWindow(int clientWidth, int clientHeight) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KelvaneGraphTestParent";
    RegisterClassA(&windowClass);
    HWND parent =
        CreateWindowExA(0, windowClass.lpszClassName, "graph test", WS_OVERLAPPEDWINDOW, 100, 100,
                        400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
    HWND graph = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 20,
                                 clientWidth, clientHeight, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_GRAPH)),
                                 windowClass.hInstance, nullptr);
    return {parent, graph};
}

RECT RectInParent(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST(GraphControl, SnapsA172By52ClientTo171By53) {
    GraphWindow window = CreateGraphWindow(172, 52);
    ASSERT_NE(window.Parent, nullptr);
    ASSERT_NE(window.Graph, nullptr);
    RECT client;
    GetClientRect(window.Graph, &client);
    ASSERT_EQ(client.right, 172);
    ASSERT_EQ(client.bottom, 52);

    SnapGraphSize(window.Parent);
    RECT placed = RectInParent(window.Graph);
    EXPECT_EQ(placed.left, 11);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right - placed.left, 171);
    EXPECT_EQ(placed.bottom - placed.top, 53);
    GetClientRect(window.Graph, &client);
    EXPECT_EQ(client.right, 171);
    EXPECT_EQ(client.bottom, 53);

    // Without the control nothing happens.
    SetWindowLongPtrA(window.Graph, GWLP_ID, IDC_INTERVAL);
    SnapGraphSize(window.Parent);
    SnapGraphSize(nullptr);
    RECT unchanged = RectInParent(window.Graph);
    EXPECT_TRUE(EqualRect(&unchanged, &placed));
    DestroyWindow(window.Parent);
}

TEST(GraphControl, BlackBrushOnlyForTheGraph) {
    GraphWindow window = CreateGraphWindow(172, 52);
    ASSERT_NE(window.Graph, nullptr);
    HWND other =
        CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | BS_PUSHBUTTON, 10, 100, 60, 20, window.Parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(GraphButtonBrush(window.Parent, reinterpret_cast<LPARAM>(window.Graph)),
              reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GraphButtonBrush(window.Parent, reinterpret_cast<LPARAM>(other)), FALSE);
    EXPECT_EQ(GraphButtonBrush(window.Parent, 0), FALSE);
    // A dialog without the graph gives no brush, not even for a null window.
    EXPECT_EQ(GraphButtonBrush(other, 0), FALSE);
    DestroyWindow(window.Parent);
}

} // namespace
