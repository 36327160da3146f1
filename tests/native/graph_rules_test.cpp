#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ui/graph_rules.h"

namespace {

HistoryTrace EmptyTrace() {
    HistoryTrace trace;
    trace.fill(NoReadingByte);
    return trace;
}

HistoryTrace TraceWith(std::initializer_list<std::pair<int, std::uint8_t>> samples) {
    HistoryTrace trace = EmptyTrace();
    for (const auto& [index, value] : samples)
        trace[index] = value;
    return trace;
}

std::vector<int> Offsets(const GridLines& lines) {
    return std::vector<int>(lines.Offset, lines.Offset + lines.Count);
}

std::vector<std::pair<int, int>> Points(const TracePath& path) {
    std::vector<std::pair<int, int>> points;
    for (int i = 0; i < path.Count; ++i)
        points.emplace_back(path.Point[i].X, path.Point[i].Y);
    return points;
}

TEST(GraphScale, StepsAtTheThresholds) {
    const std::pair<std::uint8_t, std::uint32_t> cases[] = {
        {0, 100},   {100, 100}, {101, 120}, {120, 120}, {121, 160},
        {160, 160}, {161, 200}, {200, 200}, {201, 255}, {254, 255},
    };
    for (const auto& [hottest, scale] : cases) {
        HistoryTrace trace = TraceWith({{0, 40}, {77, hottest}, {5, 12}});
        EXPECT_EQ(GraphScale(trace, EmptyTrace(), false), scale) << int(hottest);
    }
    // No valid sample at all: scale 100. 255 is a missing sample, never a temperature.
    EXPECT_EQ(GraphScale(EmptyTrace(), EmptyTrace(), true), 100u);
}

TEST(GraphScale, SecondTraceCountsOnlyWithTwoGpus) {
    HistoryTrace cool = TraceWith({{0, 60}, {255, 90}});
    HistoryTrace hot = TraceWith({{200, 161}});
    EXPECT_EQ(GraphScale(cool, hot, false), 100u);
    EXPECT_EQ(GraphScale(cool, hot, true), 200u);
    EXPECT_EQ(GraphScale(hot, cool, true), 200u);
    EXPECT_EQ(GraphScale(cool, TraceWith({{3, 121}}), true), 160u);
}

TEST(GraphSnap, ClientOf172By52BecomesAGridOf17By13) {
    // A borderless control at (10, 20) of its parent: window and client are both 172 x 52.
    GraphPlacement placement = SnapGraphPlacement({10, 20, 182, 72}, 172, 52);
    EXPECT_EQ(placement.X, 11);
    EXPECT_EQ(placement.Y, 20);
    EXPECT_EQ(placement.Width, 171);
    EXPECT_EQ(placement.Height, 53);
    EXPECT_EQ(Offsets(VerticalGridLines(placement.Width)),
              (std::vector<int>{0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170}));
    EXPECT_EQ(Offsets(HorizontalGridLines(placement.Height)),
              (std::vector<int>{0, 13, 26, 39, 52}));

    // Trims are taken off the client size and half of each moves the control.
    placement = SnapGraphPlacement({0, 0, 209, 127}, 209, 127);
    EXPECT_EQ(placement.X, 4);
    EXPECT_EQ(placement.Y, 1);
    EXPECT_EQ(placement.Width, 201);
    EXPECT_EQ(placement.Height, 125);
    EXPECT_EQ(VerticalGridLines(placement.Width).Count, 11);
    EXPECT_EQ(HorizontalGridLines(placement.Height).Count, 5);
}

TEST(GraphGrid, SmallControlsNeverStepByZero) {
    for (int extent = -20; extent <= 400; ++extent) {
        for (const auto& [lines, divisions] : {std::pair{VerticalGridLines(extent), GridColumns},
                                               std::pair{HorizontalGridLines(extent), GridRows}}) {
            if (extent < divisions) {
                // Too small for a step of one pixel: no grid at all in this direction.
                EXPECT_EQ(lines.Count, 0) << extent;
                continue;
            }
            int step = extent / divisions;
            ASSERT_GE(lines.Count, 1) << extent;
            ASSERT_LE(lines.Count, MaxGridLines) << extent;
            EXPECT_EQ(lines.Offset[0], 0);
            for (int i = 1; i < lines.Count; ++i)
                EXPECT_EQ(lines.Offset[i] - lines.Offset[i - 1], step) << extent;
            // The last line is the last one inside the extent.
            EXPECT_LT(lines.Offset[lines.Count - 1], extent);
            EXPECT_GE(lines.Offset[lines.Count - 1] + step, extent) << extent;
        }
    }
    // The densest grid: 19 pixels wide gives a line on every pixel.
    EXPECT_EQ(VerticalGridLines(19).Count, 19);
    EXPECT_EQ(HorizontalGridLines(7).Count, 7);
    // Huge extents neither overflow nor run away.
    EXPECT_EQ(VerticalGridLines(INT_MAX).Count, 11);
    EXPECT_EQ(HorizontalGridLines(INT_MAX).Count, 5);
}

TEST(GraphTrace, LeadingGapStartsAtTheCornerAndInnerGapsAreBridged) {
    // Samples 0..2 missing, 3 valid, 4..6 missing, 7 valid, the rest missing.
    HistoryTrace trace = TraceWith({{3, 50}, {7, 70}});
    TracePath path = TracePoints(trace, 100, {0, 0, 171, 53});
    EXPECT_EQ(path.Start.X, 171);
    EXPECT_EQ(path.Start.Y, 53);
    // x = 171 - 2i; y = 53 * (100 - t) / 100, truncated: 26.5 -> 26, 15.9 -> 15.
    EXPECT_EQ(Points(path), (std::vector<std::pair<int, int>>{{165, 26}, {157, 15}}));
}

TEST(GraphTrace, NewestSampleOnTheRightEdgeAndOffsetsHonoured) {
    HistoryTrace trace = TraceWith({{0, 0}, {1, 160}, {2, 80}});
    TracePath path = TracePoints(trace, 160, {7, 5, 178, 58});
    EXPECT_EQ(path.Start.X, 178);
    EXPECT_EQ(path.Start.Y, 58);
    // 0 degrees on the bottom edge (the first segment runs straight up along x = Right),
    // the scale on the top edge.
    EXPECT_EQ(Points(path), (std::vector<std::pair<int, int>>{{178, 58}, {176, 5}, {174, 31}}));
}

TEST(GraphTrace, StopsOnePixelLeftOfTheItem) {
    HistoryTrace full;
    full.fill(20);
    TracePath path = TracePoints(full, 100, {10, 0, 181, 53});
    // x = 181 - 2i >= 9 up to i = 86.
    ASSERT_EQ(path.Count, 87);
    EXPECT_EQ(path.Point[86].X, 9);
    EXPECT_EQ(path.Point[86].Y, 42);
    // A wide item holds all 256 samples.
    EXPECT_EQ(TracePoints(full, 100, {0, 0, 600, 53}).Count, HistoryLength);
    // No valid sample: the path is only its starting corner.
    EXPECT_EQ(TracePoints(EmptyTrace(), 100, {0, 0, 171, 53}).Count, 0);
}

TEST(GraphOverlay, TimePerDivisionFor171PixelsWide) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {60, "8 min/div"}, {4, "32 s/div"}, {15, "2 min/div"}, {7, "56 s/div"}};
    for (const auto& [interval, expected] : cases) {
        OverlayLabels labels = BuildOverlayLabels({100, 171, interval, 0, 0, 0});
        EXPECT_STREQ(labels.Label[3].Text, expected) << interval;
    }
    EXPECT_EQ(SecondsPerDivision(171, 60), 480u);
    EXPECT_EQ(SecondsPerDivision(19, 60), 0u);
    char text[16];
    TimePerDivisionText(text, sizeof text, 0);
    EXPECT_STREQ(text, "0 min/div");
}

TEST(GraphOverlay, LabelsTextsAndFormatsInOrder) {
    OverlayLabels labels = BuildOverlayLabels({255, 171, 4, 83, 41, 97});
    const std::pair<std::string, unsigned> expected[] = {
        {"0\xB0", 0x928},           {"127\xB0", 0x924},       {"255\xB0", 0x920},
        {"32 s/div", 0x922},        {"83\xB0 max", 0x926},    {"dt: 4\xA0s", 0x92A},
        {"Ambient: 41\xB0", 0x921}, {"Limit: 97\xB0", 0x929},
    };
    ASSERT_EQ(labels.Count, 8);
    for (int i = 0; i < labels.Count; ++i) {
        EXPECT_EQ(labels.Label[i].Text, expected[i].first) << i;
        EXPECT_EQ(labels.Label[i].Format, expected[i].second) << i;
    }
    // The exact code-page-1252 bytes: degree sign 0xB0, no-break space 0xA0.
    EXPECT_EQ(static_cast<unsigned char>(labels.Label[0].Text[1]), 0xB0);
    EXPECT_EQ(static_cast<unsigned char>(labels.Label[5].Text[5]), 0xA0);

    // Ambient and limit of 0 are left out; the others stay.
    labels = BuildOverlayLabels({100, 171, 60, 0, 0, 90});
    ASSERT_EQ(labels.Count, 7);
    EXPECT_STREQ(labels.Label[2].Text, "100\xB0");
    EXPECT_STREQ(labels.Label[4].Text, "0\xB0 max");
    EXPECT_STREQ(labels.Label[6].Text, "Limit: 90\xB0");
    labels = BuildOverlayLabels({120, 171, 60, 0, 35, 0});
    ASSERT_EQ(labels.Count, 7);
    EXPECT_STREQ(labels.Label[1].Text, "60\xB0");
    EXPECT_STREQ(labels.Label[6].Text, "Ambient: 35\xB0");
    EXPECT_EQ(BuildOverlayLabels({100, 171, 60, 0, 0, 0}).Count, 6);
}

TEST(GraphCurrentTemperature, OneOrTwoGpus) {
    char text[MessageCapacity];
    CurrentTemperatureText(text, sizeof text, NoReading, 52, true);
    EXPECT_STREQ(text, "?/ 52\xB0");
    EXPECT_EQ(static_cast<unsigned char>(text[5]), 0xB0);
    CurrentTemperatureText(text, sizeof text, 47, 52, true);
    EXPECT_STREQ(text, "47\xB0/ 52\xB0");
    CurrentTemperatureText(text, sizeof text, 47, NoReading, true);
    EXPECT_STREQ(text, "47\xB0/ ?");
    CurrentTemperatureText(text, sizeof text, NoReading, 52, false);
    EXPECT_STREQ(text, "?");
    CurrentTemperatureText(text, sizeof text, 0, NoReading, false);
    EXPECT_STREQ(text, "0\xB0");
    // A small buffer is cut, never overrun.
    char small[4];
    CurrentTemperatureText(small, sizeof small, 47, 52, true);
    EXPECT_STREQ(small, "47\xB0");
    EXPECT_EQ(CurrentTemperatureFormat, 0x925u);
}

TEST(GraphLook, FontsByResolutionAndGreyDisplays) {
    for (int dpi : {0, 72, 96, 119}) {
        EXPECT_EQ(GraphFontHeightsFor(dpi).Label, -11) << dpi;
        EXPECT_EQ(GraphFontHeightsFor(dpi).Current, -18) << dpi;
    }
    for (int dpi : {120, 144, 192}) {
        EXPECT_EQ(GraphFontHeightsFor(dpi).Label, -12) << dpi;
        EXPECT_EQ(GraphFontHeightsFor(dpi).Current, -24) << dpi;
    }

    EXPECT_FALSE(IsMonochromeNearestRed(0x000000FF));
    EXPECT_FALSE(IsMonochromeNearestRed(0x00FF00FF)); // red equals blue but not green
    EXPECT_FALSE(IsMonochromeNearestRed(0x0000FFFF)); // red equals green but not blue
    EXPECT_TRUE(IsMonochromeNearestRed(0x00000000));
    EXPECT_TRUE(IsMonochromeNearestRed(0x00808080));
    EXPECT_TRUE(IsMonochromeNearestRed(0xFFFFFFFF)); // a failed query counts as grey
}

} // namespace
