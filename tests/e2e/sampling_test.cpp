// Sampling of the real program under the simulated driver: when samples are taken and which of
// them reach the history, the alert box with its latch, and the clicks on the notification-area
// entries. The driver's temperatures step once per reading, so the history file written at close
// shows exactly which readings became samples, newest first.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "sampling_support.h"

namespace {

constexpr UINT TimerMessage = WM_TIMER;
constexpr WPARAM SampleTimerId = 100;
constexpr int RefreshCommand = 40001;
constexpr UINT TrayNotifyMessage = WM_APP + 42;
constexpr WPARAM Gpu1Entry = 4242;
constexpr WPARAM Gpu2Entry = 4243;
constexpr WPARAM PowerResumeSuspend = 7;      // PBT_APMRESUMESUSPEND
constexpr WPARAM PowerResumeAutomatic = 0x12; // PBT_APMRESUMEAUTOMATIC
constexpr WPARAM PowerSuspend = 4;            // PBT_APMSUSPEND

constexpr char AlertText[] =
    "Warning: The GPU core temperature has reached the configured upper limit!";
constexpr char GermanAlertText[] = "Warnung: Die GPU-Kerntemperatur hat den festgelegten H\xF6"
                                   "chstwert erreicht!";

// The values a stepping core list gives to the readings after start-up's, newest first: the
// history after `samples` timer samples when every reading was a sample.
std::vector<int> SamplesNewestFirst(const std::vector<int>& cores, int samples) {
    std::vector<int> newest;
    for (int reading = StartupReadings + samples - 1; reading >= StartupReadings; --reading) {
        const std::size_t at =
            std::min<std::size_t>(static_cast<std::size_t>(reading), cores.size() - 1);
        newest.push_back(cores[at]);
    }
    return newest;
}

int MessageBoxesOf(const ChildProcess& child) {
    int boxes = 0;
    for (HWND window : DialogWindowsOf(child.ProcessId)) {
        boxes += IsMessageBox(window) ? 1 : 0;
    }
    return boxes;
}

class SamplingTest : public KelvaneEndToEnd {
  protected:
    // One more timer message, as the sampling timer sends it.
    void PostTick(HWND dialog) {
        ASSERT_TRUE(PostToWindow(dialog, TimerMessage, SampleTimerId, 0));
    }

    // Waits until GPU 1 has been read this many times in all, start-up included.
    void WaitForGpu1Readings(int readings) {
        ASSERT_TRUE(WaitUntil([&] { return Gpu1Readings() >= readings || !IsRunning(First); }));
        ASSERT_GE(Gpu1Readings(), readings) << "the program ended";
    }

    // An alert box of this process: caption, text and buttons as the alert shows them, owned by
    // the main dialog.
    HWND WaitForAlert(HWND dialog, const char* text, HWND except = nullptr) {
        HWND box = ExpectMessageBox("Kelvane", text, OkOnly, except);
        if (box) {
            EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
        }
        return box;
    }
};

class SamplingGermanTest : public SamplingTest {};

// ---- When samples are taken ----

TEST_F(SamplingTest, FirstSampleIsTakenAtOnceNotOneIntervalLater) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60"})));
    ASSERT_TRUE(WriteSimScenario(OneGpuScenario(SteppingGpu(1, Gpu1Name, "40 41 42"))));
    ASSERT_TRUE(StartKelvane(&First));
    ASSERT_TRUE(AnswerVendorWarning(First));
    HWND dialog = WaitForMainDialog(First);
    ASSERT_NE(dialog, nullptr);
    // The sampling timer first fires 60 s after the dialog starts it; a sample well before that
    // comes from the tick posted at initialisation.
    EXPECT_TRUE(WaitForSimCalls(ThermalCall, StartupReadings + 1, First.Process, 30000))
        << "no sample within half the interval";
    CloseAndExpectExitZero(dialog);
    EXPECT_EQ(Gpu1Readings(), StartupReadings + 1);
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({41})));
}

TEST_F(SamplingTest, TimerAtIntervalFourStoresTheSamplesNewestFirst) {
    const std::vector<int> cores = {40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51};
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=4", "RunHidden=1"})));
    ASSERT_TRUE(WriteSimScenario(
        OneGpuScenario(SteppingGpu(1, Gpu1Name, "40 41 42 43 44 45 46 47 48 49 50 51"))));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    // The first sample and two ticks of the timer.
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 3));
    CloseAndExpectExitZero(dialog);

    // A tick may have come between the count and the close; every reading was a sample.
    const int samples = Gpu1Readings() - StartupReadings;
    ASSERT_GE(samples, 3);
    EXPECT_TRUE(HistoryFileHolds(HistoryImage(SamplesNewestFirst(cores, samples))))
        << samples << " samples";
}

TEST_F(SamplingTest, ResumeFromSuspendAddsOneSampleOtherPowerEventsNone) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60", "RunHidden=1"})));
    ASSERT_TRUE(WriteSimScenario(OneGpuScenario(SteppingGpu(1, Gpu1Name, "40 41 42 43 44"))));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);

    // Posted messages are handled in order, and a sample they cause is posted behind them, so
    // the refresh's reading (F5, no history) comes after every sample the power events caused.
    for (WPARAM event :
         {PowerResumeAutomatic, PowerSuspend, PowerResumeSuspend, PowerResumeAutomatic}) {
        ASSERT_TRUE(PostToWindow(dialog, WM_POWERBROADCAST, event, 0));
    }
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 3));
    CloseAndExpectExitZero(dialog);

    // Readings: 40 at start-up, 41 the first sample, 42 the resume's sample, 43 the refresh.
    EXPECT_EQ(Gpu1Readings(), StartupReadings + 3);
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({42, 41})));
}

// ---- Alert ----

TEST_F(SamplingTest, AlertShowsTheHiddenWindowAndOneBoxAtATimeUntilRearmed) {
    // The driver's limit of 90 would be the default threshold; the settings say 70.
    ASSERT_TRUE(
        WriteSettingsFile(SettingsText({"Interval=60", "RunHidden=1", "AlertThreshold=70"})));
    // Readings: start-up, first sample, then one per posted tick or refresh.
    ASSERT_TRUE(WriteSimScenario(OneGpuScenario(
        SteppingGpu(1, Gpu1Name, "60 60 71 70 68 72 69 67 69 69 70 67 71 67 71 67 71 71 67 70"))));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadControlText(dialog, 1005), "70");
    ASSERT_FALSE(IsWindowVisible(dialog));

    // 71 reaches the threshold: the window comes up, then the box.
    PostTick(dialog);
    HWND first = WaitForAlert(dialog, AlertText);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the box came before the window";

    // While the box is open sampling goes on: 70 (latched), 68 (not below 70 - 2, so still
    // latched), 72 and 69. A second box would exist before the next reading is taken.
    for (int tick = 0; tick < 4; ++tick) {
        PostTick(dialog);
    }
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 6));
    ASSERT_EQ(MessageBoxesOf(First), 1);
    EXPECT_TRUE(IsWindow(first));
    ASSERT_TRUE(AnswerMessageBox(first, IDOK));

    // 67 re-arms; 69, just below the threshold, does not alert (the second 69 is read after
    // the first one's run has ended); 70, equal to the threshold, alerts again.
    for (int tick = 0; tick < 3; ++tick) {
        PostTick(dialog);
    }
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 9));
    ASSERT_EQ(MessageBoxesOf(First), 0);
    PostTick(dialog);
    HWND second = WaitForAlert(dialog, AlertText, first);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Gpu1Readings(), StartupReadings + 10);

    // While it is open, refreshes re-arm (67) and reach the threshold again (71) three times:
    // the latch is set again each time, yet no box opens inside the open one.
    for (int refresh = 0; refresh < 6; ++refresh) {
        ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    }
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 16));
    ASSERT_EQ(MessageBoxesOf(First), 1);
    ASSERT_TRUE(AnswerMessageBox(second, IDOK));

    // After the answer 71 finds the latch set; 67 re-arms and 70 opens the next box.
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 18));
    ASSERT_EQ(MessageBoxesOf(First), 0);
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    HWND third = WaitForAlert(dialog, AlertText, second);
    ASSERT_NE(third, nullptr);
    ASSERT_TRUE(AnswerMessageBox(third, IDOK));
    CloseAndExpectExitZero(dialog);
}

TEST_F(SamplingGermanTest, GermanAlertBoxWhileTheTimerGoesOnSampling) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=4", "AlertThreshold=55"})));
    ASSERT_TRUE(WriteSimScenario(OneGpuScenario(SteppingGpu(1, Gpu1Name, "50 60"))));
    // The first sample reads 60 and alerts.
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    HWND box = WaitForAlert(dialog, GermanAlertText);
    ASSERT_NE(box, nullptr);

    // The sampling timer keeps firing under the open box; the latch keeps a second box away.
    // A refresh posted after the timer's reading is read once that run has ended, so a second
    // box would exist by then.
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 2));
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 3));
    ASSERT_EQ(MessageBoxesOf(First), 1);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    CloseAndExpectExitZero(dialog);
}

// ---- Notification-area clicks ----

TEST_F(SamplingTest, ButtonPressOnEitherEntryShowsTheHiddenWindowAndNothingElseDoes) {
    ASSERT_TRUE(WriteSettingsFile(SettingsText({"Interval=60", "RunHidden=1"})));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    ASSERT_FALSE(IsWindowVisible(dialog));

    struct Notification {
        WPARAM Entry;
        LPARAM Mouse;
    };
    const Notification ignored[] = {
        {Gpu1Entry, WM_LBUTTONUP},
        {Gpu1Entry, WM_RBUTTONUP},
        {Gpu1Entry, WM_MOUSEMOVE},
        {Gpu2Entry, WM_LBUTTONDBLCLK},
        {4241, WM_LBUTTONDOWN},
        {4244, WM_RBUTTONDOWN},
        {0, WM_LBUTTONDOWN},
        // The whole values count: an entry id or a message with higher bits set is another one.
        {Gpu1Entry | (WPARAM{1} << 32), WM_LBUTTONDOWN},
        {Gpu1Entry, MAKELPARAM(WM_LBUTTONDOWN, Gpu1Entry)},
    };
    for (const Notification& notification : ignored) {
        ASSERT_TRUE(
            PostToWindow(dialog, TrayNotifyMessage, notification.Entry, notification.Mouse));
    }
    // The refresh is handled after every notification posted before it.
    ASSERT_TRUE(PostCommand(dialog, RefreshCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForGpu1Readings(StartupReadings + 2));
    EXPECT_FALSE(IsWindowVisible(dialog));

    const Notification presses[] = {{Gpu1Entry, WM_LBUTTONDOWN},
                                    {Gpu1Entry, WM_RBUTTONDOWN},
                                    {Gpu2Entry, WM_LBUTTONDOWN},
                                    {Gpu2Entry, WM_RBUTTONDOWN}};
    for (const Notification& press : presses) {
        SCOPED_TRACE(testing::Message()
                     << "entry " << press.Entry << ", mouse message 0x" << std::hex << press.Mouse);
        // OK hides the window to the tray.
        if (IsWindowVisible(dialog)) {
            ASSERT_TRUE(PostCommand(dialog, IDOK));
            ASSERT_TRUE(WaitForVisible(dialog, false));
        }
        ASSERT_TRUE(PostToWindow(dialog, TrayNotifyMessage, press.Entry, press.Mouse));
        EXPECT_TRUE(WaitForVisible(dialog, true));
    }
    CloseAndExpectExitZero(dialog);
}

} // namespace
