#include "ui/graph_rules.h"

#include "core/text_rules.h"

namespace {

// Lines at 0, step, 2 * step, ... below extent with step = extent / divisions. Positions are
// summed in 64 bits so that no extent can overflow them.
GridLines GridLinesFor(int extent, int divisions) {
    GridLines lines = {};
    int step = extent / divisions;
    if (extent <= 0 || step <= 0)
        return lines;
    for (std::int64_t offset = 0; offset < extent && lines.Count < MaxGridLines; offset += step)
        lines.Offset[lines.Count++] = static_cast<int>(offset);
    return lines;
}

std::uint8_t HottestSample(const HistoryTrace& trace, std::uint8_t hottest) {
    for (std::uint8_t sample : trace)
        if (sample != NoReadingByte && sample > hottest)
            hottest = sample;
    return hottest;
}

void AppendDegrees(char* text, std::size_t capacity, std::uint32_t value) {
    AppendUnsigned(text, capacity, value);
    AppendText(text, capacity, "\xB0");
}

void AddLabel(OverlayLabels& labels, const char* prefix, std::uint32_t value, const char* suffix,
              unsigned placement) {
    OverlayLabel& label = labels.Label[labels.Count++];
    CopyText(label.Text, prefix);
    AppendUnsigned(label.Text, value);
    AppendText(label.Text, suffix);
    label.Format = TextFormat::Base | placement;
}

} // namespace

GridLines VerticalGridLines(int width) {
    return GridLinesFor(width, GridColumns);
}

GridLines HorizontalGridLines(int height) {
    return GridLinesFor(height, GridRows);
}

std::uint32_t GraphScale(const HistoryTrace& trace1, const HistoryTrace& trace2, bool dualGpu) {
    std::uint8_t hottest = HottestSample(trace1, 0);
    if (dualGpu)
        hottest = HottestSample(trace2, hottest);
    if (hottest <= 100)
        return 100;
    if (hottest <= 120)
        return 120;
    if (hottest <= 160)
        return 160;
    if (hottest <= 200)
        return 200;
    return 255;
}

TracePath TracePoints(const HistoryTrace& trace, std::uint32_t scale, const GraphRect& item) {
    TracePath path = {};
    path.Start = {item.Right, item.Bottom};
    if (scale == 0)
        return path;
    // 64-bit arithmetic gives the truncating 32-bit results for every real item size and
    // cannot overflow for any rectangle.
    const std::int64_t height = static_cast<std::int64_t>(item.Bottom) - item.Top;
    const std::int64_t leftmost = static_cast<std::int64_t>(item.Left) - 1;
    const std::int64_t fullScale = scale;
    for (int i = 0; i < HistoryLength; ++i) {
        std::int64_t x = static_cast<std::int64_t>(item.Right) - 2 * i;
        if (x < leftmost)
            break;
        std::uint8_t sample = trace[i];
        if (sample == NoReadingByte)
            continue;
        std::int64_t y = item.Top + (height * (fullScale - sample)) / fullScale;
        path.Point[path.Count++] = {static_cast<int>(x), static_cast<int>(y)};
    }
    return path;
}

std::uint32_t SecondsPerDivision(int itemWidth, std::uint32_t interval) {
    return static_cast<std::uint32_t>(itemWidth / 20) * interval;
}

void TimePerDivisionText(char* text, std::size_t capacity, std::uint32_t secondsPerDivision) {
    CopyText(text, capacity, "");
    if (secondsPerDivision % 60 == 0) {
        AppendUnsigned(text, capacity, secondsPerDivision / 60);
        AppendText(text, capacity, " min/div");
    } else {
        AppendUnsigned(text, capacity, secondsPerDivision);
        AppendText(text, capacity, " s/div");
    }
}

OverlayLabels BuildOverlayLabels(const OverlayValues& values) {
    using namespace TextFormat;
    OverlayLabels labels = {};
    OverlayLabel& zero = labels.Label[labels.Count++];
    CopyText(zero.Text, "0\xB0");
    zero.Format = Base | Bottom;
    AddLabel(labels, "", values.Scale / 2, "\xB0", VCenter);
    AddLabel(labels, "", values.Scale, "\xB0", 0);
    OverlayLabel& perDivision = labels.Label[labels.Count++];
    TimePerDivisionText(perDivision.Text, sizeof perDivision.Text,
                        SecondsPerDivision(values.ItemWidth, values.Interval));
    perDivision.Format = Base | Right;
    AddLabel(labels, "", values.Peak, "\xB0 max", Right | VCenter);
    AddLabel(labels, "dt: ", values.Interval, "\xA0s", Right | Bottom);
    if (values.Ambient != 0)
        AddLabel(labels, "Ambient: ", values.Ambient, "\xB0", Center);
    if (values.Limit != 0)
        AddLabel(labels, "Limit: ", values.Limit, "\xB0", Center | Bottom);
    return labels;
}

void CurrentTemperatureText(char* text, std::size_t capacity, std::uint32_t gpu1,
                            std::uint32_t gpu2, bool dualGpu) {
    CopyText(text, capacity, "");
    if (gpu1 == NoReading)
        AppendText(text, capacity, "?");
    else
        AppendDegrees(text, capacity, gpu1);
    if (!dualGpu)
        return;
    AppendText(text, capacity, "/ ");
    if (gpu2 == NoReading)
        AppendText(text, capacity, "?");
    else
        AppendDegrees(text, capacity, gpu2);
}

GraphFontHeights GraphFontHeightsFor(int logPixelsY) {
    if (logPixelsY < 120)
        return {-11, -18};
    return {-12, -24};
}

GraphColors GraphPalette(bool monochrome) {
    if (monochrome)
        return {0x00FFFFFF, 0x00000000, 0x00808080, 0x00FFFFFF, 0x00C0C0C0};
    return {0x0000FFFF, 0x00000000, 0x00008000, 0x00FFFF00, 0x0000FF00};
}

bool IsMonochromeNearestRed(std::uint32_t nearest) {
    std::uint32_t red = nearest & 0xFF;
    std::uint32_t green = (nearest >> 8) & 0xFF;
    std::uint32_t blue = (nearest >> 16) & 0xFF;
    return red == blue && red == green;
}

GraphPlacement SnapGraphPlacement(const GraphRect& windowInParent, int clientWidth,
                                  int clientHeight) {
    int trimX = clientWidth % GridColumns;
    int trimY = clientHeight % GridRows;
    return {windowInParent.Left + trimX / 2, windowInParent.Top + trimY / 2,
            (windowInParent.Right - windowInParent.Left) - trimX + 1,
            (windowInParent.Bottom - windowInParent.Top) - trimY + 1};
}
