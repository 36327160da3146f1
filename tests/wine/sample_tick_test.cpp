// The sampling step with real tray entries, icons and message boxes, on the simulated driver.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "core/gpu_monitor.h"
#include "core/history_rules.h"
#include "core/sample_tick.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_discovery.h"
#include "support/message_box_capture.h"
#include "support/program_files.h"
#include "support/sim_scenario.h"
#include "support/tray_host.h"
#include "ui/tray_icons.h"

namespace {

class SampleTickTest : public testing::Test {
  protected:
    void SetUp() override {
        Monitor.AppInstance = LoadProgramResources();
        ASSERT_NE(Monitor.AppInstance, nullptr);
        ASSERT_TRUE(WaitForTrayHost());
        window_ = CreateWindowExA(0, "STATIC", "Kelvane", WS_POPUP, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        ClearTrace(Monitor.Trace[0]);
        ClearTrace(Monitor.Trace[1]);
        ASSERT_TRUE(BeginMessageBoxCapture());
    }

    void TearDown() override {
        EndMessageBoxCapture();
        RemoveTrayIcons(window_);
        DestroyWindow(window_);
    }

    // Binds the driver with scenario and discovers its GPUs, as start-up does.
    static void StartWith(const std::string& scenario, bool dualGpu) {
        ASSERT_TRUE(WriteSimScenario(scenario));
        ASSERT_EQ(BindDriverApi(), NvOk);
        ASSERT_TRUE(DiscoverGpus());
        Monitor.DualGpu = dualGpu;
    }

    HWND window_ = nullptr;
};

TEST_F(SampleTickTest, ChangingTemperaturesLeaveNoObjectBehind) {
    // Both numbers change on every tick, so every tick replaces both icons.
    std::string scenario = "gpus = 2\n"
                           "gpu1.core = 40 41 42 43 44 45 46 47 48 49\ngpu1.core.cycle = 1\n"
                           "gpu2.core = 70 69 68 67 66 65 64\ngpu2.core.cycle = 1\n";
    StartWith(scenario, true);
    Monitor.AlertThreshold = NoReading;
    AddTrayIcons(window_);
    for (int i = 0; i < 20; ++i)
        SampleTick(window_, true);
    const int before = CountGdiObjects();

    constexpr int Ticks = 10000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Ticks; ++i)
        SampleTick(window_, i % 2 == 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%d ticks with new icons: %lld ms\n", Ticks,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));

    EXPECT_EQ(CountGdiObjects(), before);
    EXPECT_NE(Monitor.GpuIcon[0], nullptr);
    EXPECT_NE(Monitor.GpuIcon[1], nullptr);
    // Every tick read both GPUs: the histories hold readings of each, newest first.
    EXPECT_EQ(CountUnbrokenSamples(Monitor.Trace[0]), HistoryLength);
    EXPECT_EQ(CountUnbrokenSamples(Monitor.Trace[1]), HistoryLength);
    EXPECT_EQ(Monitor.PeakTemperature, 70u);
    EXPECT_TRUE(CapturedMessageBoxes().empty());
}

TEST_F(SampleTickTest, UnchangedTemperatureKeepsItsIconWhileTheOtherGpuChanges) {
    // One GPU reads a new value at every tick, the other always the same: only the changing
    // GPU's icon is rendered again; the steady one costs no GDI work and no tray update.
    struct Case {
        const char* Cores;
        int SteadyGpu; // index into GpuIcon
    };
    const Case cases[] = {
        {"gpu1.core = 40 41\ngpu1.core.cycle = 1\ngpu2.core = 60\n", 1},
        {"gpu1.core = 40\ngpu2.core = 60 61\ngpu2.core.cycle = 1\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Cores);
        StartWith(std::string("gpus = 2\n") + c.Cores, true);
        Monitor.AlertThreshold = NoReading;
        AddTrayIcons(window_);
        SampleTick(window_, true); // the first readings replace both "?" icons
        const HICON steadyIcon = Monitor.GpuIcon[c.SteadyGpu];
        const HICON changingIcon = Monitor.GpuIcon[1 - c.SteadyGpu];
        for (int i = 0; i < 4; ++i)
            SampleTick(window_, i % 2 == 0);
        EXPECT_EQ(Monitor.GpuIcon[c.SteadyGpu], steadyIcon);
        EXPECT_NE(Monitor.GpuIcon[1 - c.SteadyGpu], changingIcon); // the check can see a change
        RemoveTrayIcons(window_);
    }
}

TEST_F(SampleTickTest, AlertShowsTheHiddenWindowThenOneBox) {
    StartWith("gpu1.core = 85 86 77 81\n", false);
    Monitor.AlertThreshold = 80;
    Monitor.AlertLatch = 0;
    Monitor.HiddenToTray = 1;
    AddTrayIcons(window_);

    SampleTick(window_, true); // 85: alert
    ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
    const CapturedMessageBox& box = CapturedMessageBoxes()[0];
    EXPECT_EQ(box.Text,
              "Warning: The GPU core temperature has reached the configured upper limit!");
    EXPECT_EQ(box.Caption, "Kelvane");
    EXPECT_EQ(box.Icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(box.Buttons, static_cast<UINT>(MB_OK));
    EXPECT_EQ(box.Owner, window_);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(Monitor.HiddenToTray);

    SampleTick(window_, false); // 86 by refresh: latched, no second box
    SampleTick(window_, true);  // 77: re-armed
    SampleTick(window_, true);  // 81: alert again
    EXPECT_EQ(CapturedMessageBoxes().size(), 2u);
    EXPECT_EQ(Monitor.Trace[0][0], 81);
    EXPECT_EQ(Monitor.Trace[0][1], 77);
    EXPECT_EQ(Monitor.Trace[0][2], 85); // the refresh added nothing
    EXPECT_EQ(Monitor.PeakTemperature, 86u);
}

} // namespace
