// Geometry, colours and texts of the history graph. The painter only turns these into GDI
// calls, so everything it draws can be checked without a device context.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/monitor_types.h"

// A rectangle in device coordinates, right and bottom exclusive like a RECT.
struct GraphRect {
    int Left;
    int Top;
    int Right;
    int Bottom;
};

struct GraphPoint {
    int X;
    int Y;
};

// The grid divides the width into 10 and the height into 4 steps.
inline constexpr int GridColumns = 10;
inline constexpr int GridRows = 4;
// With a step of extent / divisions (at least 1) a line count never reaches twice the number of
// divisions, so this bounds both directions.
inline constexpr int MaxGridLines = 2 * GridColumns;

// Offsets of the grid lines from the left or top edge: 0, step, 2 * step, ... below the extent.
// An extent smaller than the number of divisions (a step of 0), or of 0 or less, has no lines:
// such a control shows no grid in that direction rather than a line on every pixel.
struct GridLines {
    int Count;
    int Offset[MaxGridLines];
};
GridLines VerticalGridLines(int width);
GridLines HorizontalGridLines(int height);

// The temperature at the top edge: 100, 120, 160, 200 or 255, chosen by the hottest sample of
// trace 1 and, with two GPUs, of trace 2. 0 degrees lies on the bottom edge.
std::uint32_t GraphScale(const HistoryTrace& trace1, const HistoryTrace& trace2, bool dualGpu);

// The path of one trace: start at the bottom-right corner of the item, then one point per
// valid sample, newest first, 2 pixels apart from x = Right leftwards. Missing samples add no
// point, so the line runs straight across them.
struct TracePath {
    GraphPoint Start;
    int Count;
    GraphPoint Point[HistoryLength];
};
TracePath TracePoints(const HistoryTrace& trace, std::uint32_t scale, const GraphRect& item);

// DrawText format bits the graph uses (the values of the DT_ constants).
namespace TextFormat {
inline constexpr unsigned Center = 0x0001;
inline constexpr unsigned Right = 0x0002;
inline constexpr unsigned VCenter = 0x0004;
inline constexpr unsigned Bottom = 0x0008;
inline constexpr unsigned SingleLine = 0x0020;
inline constexpr unsigned NoClip = 0x0100;
inline constexpr unsigned NoPrefix = 0x0800;
inline constexpr unsigned Base = SingleLine | NoClip | NoPrefix;
} // namespace TextFormat

// The details overlay: up to eight labels, each drawn over the whole item with its format.
inline constexpr int MaxOverlayLabels = 8;
struct OverlayLabel {
    char Text[MessageCapacity];
    unsigned Format;
};
struct OverlayLabels {
    int Count;
    OverlayLabel Label[MaxOverlayLabels];
};
struct OverlayValues {
    std::uint32_t Scale;
    int ItemWidth;
    std::uint32_t Interval;
    std::uint32_t Peak;
    std::uint32_t Ambient; // 0 = none, label left out
    std::uint32_t Limit;   // 0 = none, label left out
};
OverlayLabels BuildOverlayLabels(const OverlayValues& values);

// Seconds per grid division: the width's 20-pixel units times the interval (one sample per
// 2 pixels, 10 divisions), in unsigned 32-bit arithmetic.
std::uint32_t SecondsPerDivision(int itemWidth, std::uint32_t interval);

// "%u min/div" when the seconds are whole minutes, otherwise "%u s/div".
void TimePerDivisionText(char* text, std::size_t capacity, std::uint32_t secondsPerDivision);

// The large number in the centre: "?" or "%u°" for GPU 1, then with two GPUs "/ ?" or
// "/ %u°" for GPU 2. NoReading gives "?".
void CurrentTemperatureText(char* text, std::size_t capacity, std::uint32_t gpu1,
                            std::uint32_t gpu2, bool dualGpu);
inline constexpr unsigned CurrentTemperatureFormat =
    TextFormat::Base | TextFormat::Center | TextFormat::VCenter;

// Font heights (LOGFONT lfHeight, negative = character height) by the device's LOGPIXELSY.
struct GraphFontHeights {
    int Label;
    int Current;
};
GraphFontHeights GraphFontHeightsFor(int logPixelsY);
inline constexpr int LabelFontWeight = 400;
inline constexpr int CurrentFontWeight = 700;
inline constexpr char GraphFontFace[] = "Arial";

// Colours as COLORREF values, 0x00BBGGRR.
struct GraphColors {
    std::uint32_t Text;
    std::uint32_t Background;
    std::uint32_t Grid;
    std::uint32_t Trace2;
    std::uint32_t Trace1;
};
GraphColors GraphPalette(bool monochrome);

// A device is monochrome when the nearest colour it has to pure red is a grey.
bool IsMonochromeNearestRed(std::uint32_t nearest);

// Where the control goes so that its client area is 10 * k + 1 by 4 * m + 1 pixels: the window
// rectangle is given in the parent's client coordinates, the client size as read.
struct GraphPlacement {
    int X;
    int Y;
    int Width;
    int Height;
};
GraphPlacement SnapGraphPlacement(const GraphRect& windowInParent, int clientWidth,
                                  int clientHeight);
