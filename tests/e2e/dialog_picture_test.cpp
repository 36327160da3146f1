// What the main dialog shows on the screen: the history graph of two GPUs with and without its
// details overlay, checked pixel by pixel and kept as pictures in the program folder
// (e2e-dialog-overlay-off.png, e2e-dialog-overlay-on.png in the build folder).
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

constexpr int GraphId = 1001;

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF GridGreen = RGB(0, 128, 0);
constexpr COLORREF Gpu1Green = RGB(0, 255, 0);
constexpr COLORREF Gpu2Cyan = RGB(0, 255, 255);

// Two GPUs with a board sensor each, so that the overlay has ambient and limit values.
std::string TwoGpusWithBoardSensors() {
    std::string scenario = std::string(DriverScenario) + "gpus = 2\ngpus.status = 0\n";
    const char* lines[] = {"gpu1.name = NVIDIA GeForce GTX 1080",
                           "gpu1.thermal.status = 0",
                           "gpu1.sensors = 2",
                           "gpu1.sensor1 = 1 64 93",
                           "gpu1.sensor2 = 8 38 0",
                           "gpu2.name = NVIDIA GeForce GTX 1070",
                           "gpu2.thermal.status = 0",
                           "gpu2.sensors = 2",
                           "gpu2.sensor1 = 1 55 91",
                           "gpu2.sensor2 = 8 35 0"};
    for (const char* line : lines) {
        scenario += std::string(line) + "\n";
    }
    return scenario;
}

// Two slow waves, one per GPU, newest sample first.
std::vector<std::uint8_t> WaveHistory() {
    std::vector<std::uint8_t> bytes(512);
    const double turn = 6.283185307179586;
    for (int i = 0; i < 256; ++i) {
        bytes[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(std::lround(64 + 9 * std::sin(i * turn / 70)));
        bytes[static_cast<std::size_t>(256 + i)] =
            static_cast<std::uint8_t>(std::lround(55 + 7 * std::sin(i * turn / 50 + 1.2)));
    }
    return bytes;
}

int Count(const ScreenImage& picture, COLORREF colour) {
    int count = 0;
    for (COLORREF pixel : picture.Pixels) {
        count += pixel == colour ? 1 : 0;
    }
    return count;
}

// Text is yellow, smoothed towards the black background: red and green alike, no blue.
bool IsTextYellow(COLORREF pixel) {
    const int red = GetRValue(pixel);
    const int green = GetGValue(pixel);
    return red >= 0x60 && std::abs(red - green) <= 0x20 && GetBValue(pixel) <= 0x30;
}

// Yellow pixels in the left fifth of the graph, where only the overlay's scale labels go (the
// current temperature stands in the middle).
int OverlayPixels(const ScreenImage& graph) {
    int count = 0;
    for (int y = 0; y < graph.Height; ++y) {
        for (int x = 0; x < graph.Width / 5; ++x) {
            count += IsTextYellow(graph.At(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// Grid lines fall every tenth of the width and every quarter of the height, edges included.
// Traces and text may be drawn over them, but the black background never shows on them.
testing::AssertionResult GridLine(const ScreenImage& graph, bool vertical, int at) {
    const int length = vertical ? graph.Height : graph.Width;
    int green = 0;
    for (int along = 0; along < length; ++along) {
        const COLORREF pixel = vertical ? graph.At(at, along) : graph.At(along, at);
        if (pixel == Black) {
            return testing::AssertionFailure()
                   << "background on the grid line at " << (vertical ? "x " : "y ") << at;
        }
        green += pixel == GridGreen ? 1 : 0;
    }
    if (green * 4 < length) {
        return testing::AssertionFailure() << "no grid line at " << (vertical ? "x " : "y ") << at;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult HasGrid(const ScreenImage& graph) {
    const int stepX = graph.Width / 10;
    const int stepY = graph.Height / 4;
    if (stepX == 0 || stepY == 0) {
        return testing::AssertionFailure() << "graph of " << graph.Width << " x " << graph.Height;
    }
    for (int x = 0; x < graph.Width; x += stepX) {
        if (testing::AssertionResult line = GridLine(graph, true, x); !line) {
            return line;
        }
    }
    for (int y = 0; y < graph.Height; y += stepY) {
        if (testing::AssertionResult line = GridLine(graph, false, y); !line) {
            return line;
        }
    }
    return testing::AssertionSuccess();
}

// The graph drawn over its black background with the grid and both traces.
testing::AssertionResult ShowsGraph(const ScreenImage& graph) {
    const int pixels = graph.Width * graph.Height;
    if (Count(graph, Black) * 2 < pixels) {
        return testing::AssertionFailure() << "the background is not black";
    }
    if (Count(graph, Gpu1Green) < graph.Width / 2 || Count(graph, Gpu2Cyan) < graph.Width / 2) {
        return testing::AssertionFailure() << "a trace is missing";
    }
    return HasGrid(graph);
}

// A file in the build folder, the parent of the program folder.
std::string BuildFolderFile(const char* name) {
    const std::string programFolder = KelvaneExePath().substr(0, KelvaneExePath().rfind('\\'));
    return programFolder.substr(0, programFolder.rfind('\\')) + "\\" + name;
}

bool WindowArea(HWND window, RECT* area) {
    return GetWindowRect(window, area) && area->right > area->left && area->bottom > area->top;
}

class DialogPictureTest : public KelvaneEndToEnd {
  protected:
    // Waits until the graph on the screen shows the overlay or not, then keeps a picture of the
    // whole dialog as `fileName` (unless null) and returns the graph's part.
    ScreenImage CaptureGraph(HWND dialog, bool overlay, const char* fileName) {
        RECT graphArea = {};
        RECT dialogArea = {};
        ScreenImage graph;
        if (!WindowArea(GetDlgItem(dialog, GraphId), &graphArea) ||
            !WindowArea(dialog, &dialogArea)) {
            ADD_FAILURE() << "the dialog has no place on the screen";
            return graph;
        }
        // The screen follows the program's painting a little later: take the picture once two
        // in a row agree.
        ScreenImage previous;
        const bool shown = WaitUntil([&] {
            previous = graph;
            return CaptureScreen(graphArea, &graph) && graph.Pixels == previous.Pixels &&
                   ShowsGraph(graph) && (OverlayPixels(graph) > 0) == overlay;
        });
        EXPECT_TRUE(shown) << (overlay ? "no overlay" : "an overlay") << "; "
                           << ShowsGraph(graph).message();
        ScreenImage whole;
        if (fileName) {
            const std::string path = BuildFolderFile(fileName);
            EXPECT_TRUE(CaptureScreen(dialogArea, &whole) && WritePngFile(path, whole)) << path;
        }
        return graph;
    }
};

TEST_F(DialogPictureTest, GraphShowsGridAndTracesAndTheOverlayOnlyWhenOn) {
    ASSERT_TRUE(WriteHistoryFile(WaveHistory()));
    ASSERT_TRUE(WriteSimScenario(TwoGpusWithBoardSensors()));
    HWND dialog = StartToFirstSample(2);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForVisible(dialog, true));
    SetForegroundWindow(dialog);                // nothing of another test in front of it
    ASSERT_TRUE(RefreshAndWait(First, dialog)); // the first sample and the icons are in

    const ScreenImage off = CaptureGraph(dialog, false, "e2e-dialog-overlay-off.png");
    ASSERT_TRUE(PostKey(dialog, VK_F4));
    const ScreenImage on = CaptureGraph(dialog, true, "e2e-dialog-overlay-on.png");
    ASSERT_TRUE(PostKey(dialog, VK_F4));
    CaptureGraph(dialog, false, nullptr);

    // The borderless graph was snapped to 10·k + 1 by 4·m + 1 pixels, so that the grid lines
    // fall on all four edges.
    EXPECT_EQ(off.Width % 10, 1);
    EXPECT_EQ(off.Height % 4, 1);
    EXPECT_EQ(on.Width, off.Width);
    CloseAndExpectExitZero(dialog);
}

} // namespace
