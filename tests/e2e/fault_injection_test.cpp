// Faults injected into the real program from outside: every driver call failing in turn at
// start-up and while sampling, driver records out of range, display changes that make the GPU
// count flap, and data files that cannot be read or written or hold garbage. In every case the
// program either keeps running or ends with exit code 0, shows no box beyond those it is meant
// to show, and loses no history it could have kept.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "history_image.h"
#include "support/tray_host.h"

namespace {

constexpr char SimulatedFailureText[] = "Simulated driver failure";
constexpr char DriverVersionLine[] = "\r\nDriver version: 531.12";
constexpr char AlertText[] =
    "Warning: The GPU core temperature has reached the configured upper limit!";

constexpr UINT WmRefreshNow = WM_APP + 43;
constexpr WPARAM SampleTimerId = 100;
constexpr int IntervalControl = 1002;
constexpr int ThresholdControl = 1005;
constexpr int GpuInfoCommand = 40005;
constexpr int SaveCommand = 40002;

// One GPU at 50 degrees (limit 90) plus the given lines, which override earlier ones of the same
// key: the simulated driver takes the last.
std::string SingleGpuWith(const std::string& lines) {
    return SingleGpuScenario() + lines;
}

// Two GPUs at 50 and 60 degrees with limits 90 and 85, plus the given lines.
std::string TwoGpusWith(const std::string& lines) {
    return std::string(DriverScenario) + "gpus = 2\ngpus.status = 0\n" +
           GpuScenario(1, Gpu1Name, Gpu1Core, 90) + GpuScenario(2, Gpu2Name, 60, 85) + lines;
}

// A box as the tests expect it.
struct ExpectedBox {
    std::string Caption;
    std::string Text;
};

testing::AssertionResult SameBoxes(const std::vector<MessageBoxView>& shown,
                                   const std::vector<ExpectedBox>& expected) {
    if (shown.size() != expected.size()) {
        testing::AssertionResult failure = testing::AssertionFailure();
        failure << shown.size() << " boxes shown, expected " << expected.size() << ":";
        for (const MessageBoxView& box : shown) {
            failure << " [" << box.Caption << ": " << box.Text << "]";
        }
        return failure;
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i].Caption != expected[i].Caption || shown[i].Text != expected[i].Text ||
            shown[i].Buttons != OkOnly) {
            return testing::AssertionFailure()
                   << "box " << i + 1 << " showed [" << shown[i].Caption << ": " << shown[i].Text
                   << "] with " << shown[i].Buttons.size() << " buttons, expected ["
                   << expected[i].Caption << ": " << expected[i].Text << "] with OK";
        }
    }
    return testing::AssertionSuccess();
}

// Every message box the process has, shown or still being built.
std::vector<HWND> MessageBoxesOf(const ChildProcess& child) {
    std::vector<HWND> boxes;
    for (HWND window : DialogWindowsOf(child.ProcessId)) {
        if (IsMessageBox(window)) {
            boxes.push_back(window);
        }
    }
    return boxes;
}

HWND VisibleMessageBox(const ChildProcess& child, HWND except) {
    for (HWND box : MessageBoxesOf(child)) {
        if (box != except && IsWindowVisible(box)) {
            return box;
        }
    }
    return nullptr;
}

int ThermalCalls(int gpu) {
    return CountSimCalls(ThermalCall, gpu);
}

// Position of the interval trackbar of another process's dialog; -1 when it cannot be read.
int IntervalPosition(HWND dialog) {
    HWND trackbar = GetDlgItem(dialog, IntervalControl);
    DWORD_PTR position = 0;
    if (!trackbar || !SendMessageTimeoutA(trackbar, TBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG,
                                          StateTimeoutMs, &position)) {
        return -1;
    }
    return static_cast<int>(position);
}

// The tooltips of the notification-area entries, in a stable order (the host lists them in an
// order of its own).
std::vector<std::string> SortedTrayTooltips() {
    std::vector<std::string> tips = TrayTooltips();
    std::sort(tips.begin(), tips.end());
    return tips;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes a plain file even when it is read-only.
void RemovePlainFile(const std::string& path) {
    if (FileExists(path) && !IsFolder(path)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

std::string ParentFolder(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
}

class FaultInjectionTest : public KelvaneEndToEnd {
  protected:
    void SetUp() override {
        // A file that blocked the data folder in an earlier, crashed run would stop every test.
        RemovePlainFile(DataFolderPath());
        KelvaneEndToEnd::SetUp();
    }

    void TearDown() override {
        KelvaneEndToEnd::TearDown();
        RemovePlainFile(DataFolderPath());
    }

    // What a start came to.
    struct StartResult {
        std::vector<MessageBoxView> Boxes; // every box after the vendor warning, in order
        HWND Dialog = nullptr;             // the main dialog, once it has taken its first sample
        bool Ended = false;
        DWORD ExitCode = 1;
    };

    // Starts the program on the current scenario, answers the vendor warning with Ignore and
    // every further box with OK, until the program has its main dialog and took its first sample
    // (start-up reads GPU 1 once, the first sample once more: gpu1Reads in all) or until it
    // ended.
    StartResult StartAnsweringBoxes(int gpu1Reads = 2) {
        StartResult result;
        StartSimCallLog();
        if (!StartKelvane(&First)) {
            ADD_FAILURE() << "cannot start " << KelvaneExePath();
            return result;
        }
        if (!AnswerVendorWarning(First)) {
            ADD_FAILURE() << "no vendor warning";
            return result;
        }
        HWND answered = nullptr;
        for (;;) {
            HWND box = nullptr;
            bool sampled = false;
            const bool settled = WaitUntil([&] {
                box = VisibleMessageBox(First, answered);
                if (box) {
                    return true;
                }
                result.Dialog = FindMainDialog(First.ProcessId);
                sampled = result.Dialog && ThermalCalls(1) >= gpu1Reads;
                return sampled || !IsRunning(First);
            });
            if (!settled) {
                ADD_FAILURE() << "the program neither showed a box, sampled nor ended";
                return result;
            }
            if (box) {
                result.Boxes.push_back(ReadMessageBox(box));
                if (!AnswerMessageBox(box, IDOK)) {
                    ADD_FAILURE() << "cannot answer the box \"" << result.Boxes.back().Text << "\"";
                    return result;
                }
                answered = box;
                continue;
            }
            if (!sampled) {
                result.Dialog = nullptr;
                result.Ended = WaitForExit(&First, &result.ExitCode);
            }
            return result;
        }
    }

    // Posts `ticks` sampling ticks and one more behind them, waits until GPU 1 was read for
    // each, then answers every box that is open at that moment and returns what they showed. A
    // box raised by a tick exists before its modal loop lets the next tick through, so none
    // raised by the `ticks` ticks is missed.
    std::vector<MessageBoxView> TickAndCollectBoxes(HWND dialog, int ticks) {
        const int target = ThermalCalls(1) + ticks + 1;
        for (int i = 0; i <= ticks; ++i) {
            EXPECT_TRUE(PostToWindow(dialog, WM_TIMER, SampleTimerId));
        }
        EXPECT_TRUE(WaitUntil([&] { return ThermalCalls(1) >= target || !IsRunning(First); }))
            << "the ticks were not sampled";
        std::vector<MessageBoxView> boxes;
        for (HWND box : MessageBoxesOf(First)) {
            boxes.push_back(ReadMessageBox(box));
            EXPECT_TRUE(AnswerMessageBox(box, IDOK));
        }
        return boxes;
    }

    // Waits until the posted messages before this call have been handled: one more tick is
    // posted behind them and its reading awaited.
    void WaitForQueueDrained(HWND dialog) {
        const int target = ThermalCalls(1) + 1;
        ASSERT_TRUE(PostToWindow(dialog, WM_TIMER, SampleTimerId));
        ASSERT_TRUE(WaitUntil([&] { return ThermalCalls(1) >= target || !IsRunning(First); }));
        ASSERT_TRUE(IsRunning(First));
    }

    // The GPU information box (F10), answered.
    MessageBoxView GpuInfoBox(HWND dialog) {
        MessageBoxView view;
        EXPECT_TRUE(PostCommand(dialog, GpuInfoCommand));
        HWND box = WaitForMessageBox(First);
        EXPECT_NE(box, nullptr) << "no GPU information box";
        if (box) {
            view = ReadMessageBox(box);
            EXPECT_TRUE(AnswerMessageBox(box, IDOK));
        }
        return view;
    }

    // A start that must end with exit code 0 after exactly these boxes, before it touches the
    // data files: the history of an earlier run stays as it was.
    void ExpectEndAfterBoxes(const std::vector<ExpectedBox>& boxes) {
        ASSERT_TRUE(WriteHistoryFile(PatternHistory()));
        const StartResult result = StartAnsweringBoxes();
        EXPECT_TRUE(SameBoxes(result.Boxes, boxes));
        ASSERT_TRUE(result.Ended) << "the program did not end";
        EXPECT_EQ(result.ExitCode, 0u);
        EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), PatternHistory()));
        EXPECT_FALSE(FileExists(SettingsFilePath())) << "start-up went on past the driver";
    }

    // A start that must keep running after exactly these boxes, also through a few more ticks.
    // Returns the dialog.
    HWND ExpectRunningAfterBoxes(const std::vector<ExpectedBox>& boxes) {
        const StartResult result = StartAnsweringBoxes();
        std::vector<MessageBoxView> shown = result.Boxes;
        if (!result.Dialog) {
            ADD_FAILURE() << "the program " << (result.Ended ? "ended" : "has no main dialog");
            return nullptr;
        }
        const std::vector<MessageBoxView> later = TickAndCollectBoxes(result.Dialog, 3);
        shown.insert(shown.end(), later.begin(), later.end());
        EXPECT_TRUE(SameBoxes(shown, boxes));
        EXPECT_TRUE(IsRunning(First));
        return result.Dialog;
    }

    // Closes, expects exit code 0 and the history file that the samples since the start make
    // from `loaded`, each sample storing GPU 1's reading (GPU 2's slot stays NoReading).
    void CloseExpectingSingleGpuHistory(HWND dialog, const HistoryBytes& loaded) {
        CloseAndExpectExitZero(dialog);
        HistoryBytes expected = loaded;
        const std::vector<LoggedReading> readings = LoggedReadingsOf(SimCallLog(), 1);
        for (std::size_t i = 1; i < readings.size(); ++i) { // the first is start-up's
            expected = Advanced(expected, HistoryByteOf(readings[i]));
        }
        EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), expected));
    }
};

// ---- Each driver call failing at start-up ----

TEST_F(FaultInjectionTest, InitialisationFailureShowsTheLibraryErrorAndEndsWithZero) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("initialize.status = -1\n")));
    ExpectEndAfterBoxes({{WineAdapterName, DriverLibraryErrorText()}});
}

TEST_F(FaultInjectionTest, MissingInitialiseFunctionShowsTheLibraryErrorAndEndsWithZero) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("absent = 0x0150E828\n")));
    ExpectEndAfterBoxes({{WineAdapterName, DriverLibraryErrorText()}});
}

TEST_F(FaultInjectionTest, PositiveInitialisationStatusCountsAsSuccess) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("initialize.status = 1\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    CloseAndExpectExitZero(dialog);
}

TEST_F(FaultInjectionTest, EnumerationFailingAtOnceOrMidwayStillStarts) {
    // Only the first handle is used; when the enumeration yields none it stays null, which the
    // driver takes as the default display.
    for (const char* lines :
         {"displays = 0\nenum.status = -1\n", "displays = 3\nenum.status = -6\n"}) {
        SCOPED_TRACE(lines);
        ASSERT_TRUE(RemoveDataFolder());
        ASSERT_TRUE(WriteSimScenario(SingleGpuWith(lines)));
        HWND dialog = ExpectRunningAfterBoxes({});
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "90");
        EXPECT_EQ(GpuInfoBox(dialog).Text, std::string("GPU: ") + Gpu1Name + DriverVersionLine);
        CloseAndExpectExitZero(dialog);
        StopProcess(&First);
    }
}

TEST_F(FaultInjectionTest, FailingOrZeroDriverVersionLeavesNameAndVersionUnasked) {
    for (const char* lines : {"version.status = -1\n", "version = 0\n"}) {
        SCOPED_TRACE(lines);
        ASSERT_TRUE(RemoveDataFolder());
        ASSERT_TRUE(WriteSimScenario(SingleGpuWith(lines)));
        HWND dialog = ExpectRunningAfterBoxes({});
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName"), 0);
        // The name stays the adapter's, the information box has no version line.
        EXPECT_EQ(GpuInfoBox(dialog).Text, std::string("GPU: ") + WineAdapterName);
        CloseAndExpectExitZero(dialog);
        StopProcess(&First);
    }
}

TEST_F(FaultInjectionTest, PhysicalGpuQueryFailureShowsTheDriverTextAndEndsWithZero) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpus.status = -1\n")));
    ExpectEndAfterBoxes({{WineAdapterName, SimulatedFailureText}});
}

TEST_F(FaultInjectionTest, PhysicalGpuQueryFailureWithoutErrorTextEndsWithZeroSilently) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpus.status = -1\nerror.status = -1\n")));
    ExpectEndAfterBoxes({});
}

TEST_F(FaultInjectionTest, FailingNameQueryKeepsTheAdapterName) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpu1.name.status = -1\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GpuInfoBox(dialog).Text, std::string("GPU: ") + WineAdapterName + DriverVersionLine);
    CloseAndExpectExitZero(dialog);
}

TEST_F(FaultInjectionTest, Gpu1ThermalFailingForeverShowsOneBoxAndSamplesNoReading) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpu1.thermal.status = -1\n")));
    HWND dialog = ExpectRunningAfterBoxes({{Gpu1Name, SimulatedFailureText}});
    ASSERT_NE(dialog, nullptr);
    // No limit was learned: the default threshold is 100.
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "100");
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

TEST_F(FaultInjectionTest, Gpu1ThermalFailingWithoutErrorTextStartsSilently) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpu1.thermal.status = -1\nerror.status = -1\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "100");
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

TEST_F(FaultInjectionTest, UnterminatedErrorTextIsShownCutToItsBuffer) {
    ASSERT_TRUE(WriteSimScenario(
        SingleGpuWith("gpu1.thermal.status = -1 0\nerror.text.unterminated = 1\n")));
    // The driver fills all 64 characters (padding with '_') and no terminator.
    std::string text = SimulatedFailureText;
    text.resize(64, '_');
    HWND dialog = ExpectRunningAfterBoxes({{Gpu1Name, text}});
    ASSERT_NE(dialog, nullptr);
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

TEST_F(FaultInjectionTest, MissingThermalAndErrorFunctionsRunWithoutReadings) {
    // Functions the library lacks answer with a failure status; nothing can be shown.
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("absent = 0xE3640A56 0x6C2D048C\n")));
    const StartResult result = StartAnsweringBoxes(0);
    EXPECT_TRUE(result.Boxes.empty());
    ASSERT_NE(result.Dialog, nullptr);
    // No reading reaches the log, so a save posted behind the ticks tells when they were handled.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PostToWindow(result.Dialog, WM_TIMER, SampleTimerId));
    }
    ASSERT_TRUE(PostCommand(result.Dialog, SaveCommand));
    ASSERT_TRUE(
        WaitUntil([] { return ReadFileBytes(HistoryFilePath()).size() == HistoryImageSize; }));
    EXPECT_TRUE(MessageBoxesOf(First).empty());
    EXPECT_EQ(ThermalCalls(1), 0) << "an unresolved function reached the library";
    CloseAndExpectExitZero(result.Dialog);
    EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), EmptyHistory()));
}

TEST_F(FaultInjectionTest, Gpu2ThermalFailureAtStartMonitorsGpu1Alone) {
    ASSERT_TRUE(WriteSimScenario(TwoGpusWith("gpu2.thermal.status = -1\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    // GPU 2 was read once at start-up and never sampled; its limit does not count.
    EXPECT_EQ(ThermalCalls(2), 1);
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "90");
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

// ---- Failures while sampling ----

TEST_F(FaultInjectionTest, ThermalStatusesChangingFromCallToCallAreSampledSilently) {
    // Both GPUs fail on their own rhythm with different statuses, and their temperatures step
    // per call; a refresh in between reads without advancing the histories.
    ASSERT_TRUE(WriteSimScenario(TwoGpusWith("gpu1.thermal.status = 0 0 -1 0 -3 -1 -1 0 5 0\n"
                                             "gpu1.thermal.status.cycle = 1\n"
                                             "gpu1.core = 51 52 53 54 55 56 57\n"
                                             "gpu1.core.cycle = 1\n"
                                             "gpu2.thermal.status = 0 -1 0 0 -4 0 -1\n"
                                             "gpu2.thermal.status.cycle = 1\n"
                                             "gpu2.core = 61 62 63 64 65\n"
                                             "gpu2.core.cycle = 1\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);

    // Ticks and refreshes in a known order; every message reads GPU 1, then GPU 2.
    // Every reading after start-up's so far was a tick.
    std::vector<bool> advancing(static_cast<std::size_t>(ThermalCalls(1) - 1), true);
    for (int i = 0; i < 60; ++i) {
        const bool refresh = i % 7 == 3;
        ASSERT_TRUE(refresh ? PostToWindow(dialog, WmRefreshNow)
                            : PostToWindow(dialog, WM_TIMER, SampleTimerId));
        advancing.push_back(!refresh);
    }
    ASSERT_TRUE(
        WaitUntil([&] { return ThermalCalls(1) >= 1 + static_cast<int>(advancing.size()); }));
    EXPECT_TRUE(MessageBoxesOf(First).empty());
    ASSERT_TRUE(PostCommand(dialog, SaveCommand));

    const std::vector<std::string> log = SimCallLog();
    const std::vector<LoggedReading> gpu1 = LoggedReadingsOf(log, 1);
    const std::vector<LoggedReading> gpu2 = LoggedReadingsOf(log, 2);
    ASSERT_EQ(gpu1.size(), advancing.size() + 1);
    ASSERT_EQ(gpu2.size(), advancing.size() + 1);
    HistoryBytes expected = EmptyHistory();
    for (std::size_t i = 0; i < advancing.size(); ++i) {
        if (advancing[i]) {
            expected = Advanced(expected, HistoryByteOf(gpu1[i + 1]), HistoryByteOf(gpu2[i + 1]));
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(HistoryFilePath()) == expected; }))
        << SameHistory(ReadFileBytes(HistoryFilePath()), expected).message();
    CloseAndExpectExitZero(dialog);
}

TEST_F(FaultInjectionTest, AlertThroughFlappingReadingsShowsOneBox) {
    // 95 degrees against the learned limit of 90, every other query failing: a failed reading
    // leaves the latch as it is, so the alert is raised once.
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpu1.core = 95\n"
                                               "gpu1.thermal.status = 0 -1 0 -1 -1 0\n"
                                               "gpu1.thermal.status.cycle = 1\n")));
    HWND dialog = ExpectRunningAfterBoxes({{"Kelvane", AlertText}});
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(TickAndCollectBoxes(dialog, 30).empty());
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

// ---- Driver records out of range ----

TEST_F(FaultInjectionTest, SensorCountZeroNegativeOrAboveThree) {
    // Three slots: a GPU sensor at 50 (maximum 95), a board sensor at 33, a GPU sensor at 61
    // (maximum 90). A count of 0 or less reads none of them: 0 degrees, no limit, threshold 100.
    // A count above three reads the three slots and nothing beyond: 61 degrees, threshold 90.
    struct CountCase {
        const char* Count;
        unsigned Core;
        const char* Threshold;
    };
    for (const CountCase& sensors :
         {CountCase{"0", 0, "100"}, CountCase{"-1", 0, "100"}, CountCase{"-2147483648", 0, "100"},
          CountCase{"4", 61, "90"}, CountCase{"2147483647", 61, "90"}}) {
        SCOPED_TRACE(testing::Message() << "sensor count " << sensors.Count);
        ASSERT_TRUE(RemoveDataFolder());
        ASSERT_TRUE(WriteSimScenario(SingleGpuWith(std::string("gpu1.sensors = ") + sensors.Count +
                                                   "\ngpu1.sensor1 = 1 50 95\n"
                                                   "gpu1.sensor2 = 8 33 0\n"
                                                   "gpu1.sensor3 = 1 61 90\n")));
        HWND dialog = ExpectRunningAfterBoxes({});
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ReadControlText(dialog, ThresholdControl), sensors.Threshold);
        CloseAndExpectExitZero(dialog);
        const HistoryBytes history = ReadFileBytes(HistoryFilePath());
        ASSERT_EQ(history.size(), HistoryImageSize);
        EXPECT_EQ(history[0], sensors.Core);
        StopProcess(&First);
    }
}

TEST_F(FaultInjectionTest, MoreThan128DisplayHandlesStartAndRediscover) {
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("displays = 300\n")));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    const int enumerated = CountSimCalls("NvAPI_EnumNvidiaDisplayHandle");
    EXPECT_GE(enumerated, 1);
    EXPECT_LE(enumerated, 300);
    const int queries = CountSimCalls("NvAPI_GetPhysicalGPUsFromDisplay");
    ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
    ASSERT_TRUE(
        WaitUntil([&] { return CountSimCalls("NvAPI_GetPhysicalGPUsFromDisplay") > queries; }));
    EXPECT_TRUE(TickAndCollectBoxes(dialog, 1).empty());
    EXPECT_EQ(CountSimCalls("NvAPI_EnumNvidiaDisplayHandle"), 2 * enumerated);
    CloseAndExpectExitZero(dialog);
}

TEST_F(FaultInjectionTest, UnterminatedGpuNameIsCutTo64Characters) {
    // The first reading fails so that the name shows as a box caption too.
    const std::string name = "NVIDIA GeForce RTX 9090 Ti Super Founders Edition";
    std::string shown = name;
    shown.resize(64, '_');
    ASSERT_TRUE(WriteSimScenario(SingleGpuWith("gpu1.name = " + name +
                                               "\ngpu1.name.unterminated = 1\n"
                                               "gpu1.thermal.status = -1 0\n")));
    ASSERT_TRUE(WaitForTrayHost());
    HWND dialog = ExpectRunningAfterBoxes({{shown, SimulatedFailureText}});
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GpuInfoBox(dialog).Text, "GPU: " + shown + DriverVersionLine);
    EXPECT_TRUE(WaitUntil([&] { return SortedTrayTooltips() == std::vector<std::string>{shown}; }));

    // Rediscovery copies the name again the same way.
    const int queries = CountSimCalls("NvAPI_GPU_GetFullName");
    ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
    ASSERT_TRUE(WaitUntil([&] { return CountSimCalls("NvAPI_GPU_GetFullName") > queries; }));
    EXPECT_TRUE(TickAndCollectBoxes(dialog, 1).empty());
    EXPECT_EQ(GpuInfoBox(dialog).Text, "GPU: " + shown + DriverVersionLine);
    CloseAndExpectExitZero(dialog);
}

TEST_F(FaultInjectionTest, GpuCountFlappingOverDisplayChanges) {
    ASSERT_TRUE(WaitForTrayHost());
    const std::vector<std::string> single = {Gpu1Name};
    const std::vector<std::string> dual = {"GPU 1", "GPU 2"};
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return SortedTrayTooltips() == single; }));

    // The GPU count after each display change; -1 makes the query fail, which leaves the count
    // and the handles as they were and shows the driver's text as a warning.
    struct Step {
        int Gpus;
        bool Dual;
    };
    const Step steps[] = {{2, true},   {0, false}, {0, false}, {2, true},  {-1, true},
                          {1, false},  {2, true},  {2, true},  {-1, true}, {0, false},
                          {-1, false}, {1, false}, {2, true},  {1, false}};
    bool dualBefore = false;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "GPU count " << step.Gpus);
        const std::string count = step.Gpus < 0 ? "1\ngpus.status = -1" : std::to_string(step.Gpus);
        ASSERT_TRUE(WriteSimScenario(TwoGpusWith("gpus = " + count + "\n")));
        const int queries = CountSimCalls("NvAPI_GetPhysicalGPUsFromDisplay");
        const int names = CountSimCalls("NvAPI_GPU_GetFullName");
        const int gpu1Reads = ThermalCalls(1);
        const int gpu2Reads = ThermalCalls(2);
        ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
        ASSERT_TRUE(
            WaitUntil([&] { return CountSimCalls("NvAPI_GetPhysicalGPUsFromDisplay") > queries; }));
        if (step.Gpus < 0) {
            HWND box = ExpectMessageBox(Gpu1Name, SimulatedFailureText, OkOnly);
            ASSERT_NE(box, nullptr) << "no warning for the failed query";
            ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        }
        // The display change posts one sample.
        ASSERT_TRUE(WaitUntil([&] { return ThermalCalls(1) > gpu1Reads; }));
        EXPECT_TRUE(TickAndCollectBoxes(dialog, 1).empty());
        // The display change's sample and the two ticks read GPU 2 only while it is monitored.
        EXPECT_EQ(ThermalCalls(1), gpu1Reads + 3);
        EXPECT_EQ(ThermalCalls(2), gpu2Reads + (step.Dual ? 3 : 0));
        // The name is asked again only when the query succeeded with a GPU.
        EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName"), names + (step.Gpus > 0 ? 1 : 0));
        EXPECT_TRUE(WaitUntil([&] { return SortedTrayTooltips() == (step.Dual ? dual : single); }))
            << "tray entries after going from " << (dualBefore ? "two GPUs" : "one GPU") << ": "
            << testing::PrintToString(SortedTrayTooltips());
        dualBefore = step.Dual;
    }
    CloseAndExpectExitZero(dialog);
    EXPECT_TRUE(WaitUntil([] { return TrayTooltips().empty(); }));
}

// ---- Data files ----

TEST_F(FaultInjectionTest, DataFolderBlockedByAFileRunsOnDefaultsAndSavesNothing) {
    // A file where the program's folder belongs: the folder cannot be made, every read gives the
    // default and every write fails, silently.
    const std::string blocker = DataFolderPath();
    ASSERT_TRUE(CreateDirectoryA(ParentFolder(blocker).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    HANDLE file = CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char content[] = "not a folder";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, content, sizeof content - 1, &written, nullptr));
    CloseHandle(file);

    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "no settings, so the window shows";
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "90");
    EXPECT_EQ(IntervalPosition(dialog), 60);
    ASSERT_TRUE(PostCommand(dialog, SaveCommand));
    ASSERT_TRUE(PostToWindow(dialog, WM_ENDSESSION, TRUE));
    EXPECT_TRUE(TickAndCollectBoxes(dialog, 1).empty());
    CloseAndExpectExitZero(dialog);

    EXPECT_FALSE(IsFolder(blocker));
    const HistoryBytes kept = ReadFileBytes(blocker);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), content);
}

TEST_F(FaultInjectionTest, ReadOnlyHistoryFileLoadsButIsNeverReplaced) {
    const HistoryBytes pattern = PatternHistory();
    ASSERT_TRUE(WriteHistoryFile(pattern));
    ASSERT_TRUE(SetFileAttributesA(HistoryFilePath().c_str(), FILE_ATTRIBUTE_READONLY));

    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostCommand(dialog, SaveCommand));
    ASSERT_NO_FATAL_FAILURE(WaitForQueueDrained(dialog));
    EXPECT_TRUE(MessageBoxesOf(First).empty());
    EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), pattern));
    EXPECT_FALSE(FileExists(HistoryTempFilePath()));

    // Once it may be written again, the next save holds what was loaded, moved on by the samples.
    ASSERT_TRUE(SetFileAttributesA(HistoryFilePath().c_str(), FILE_ATTRIBUTE_NORMAL));
    CloseExpectingSingleGpuHistory(dialog, pattern);
}

TEST_F(FaultInjectionTest, LockedHistoryFileIsEitherKeptOrReplacedWhole) {
    // The test holds the file open without sharing. The program cannot read it and starts empty;
    // a save either fails (a file open elsewhere cannot be replaced; Wine 8 refuses it too,
    // whatever the sharing) or, where a system lets the move through, replaces it whole. Either
    // way the file is whole afterwards, never short or mixed, and no temporary file is left.
    const HistoryBytes pattern = PatternHistory();
    ASSERT_TRUE(WriteHistoryFile(pattern));
    HANDLE lock = CreateFileA(HistoryFilePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    HWND dialog = ExpectRunningAfterBoxes({});
    if (!dialog) {
        CloseHandle(lock);
        FAIL();
    }
    EXPECT_TRUE(PostCommand(dialog, SaveCommand));
    EXPECT_TRUE(PostToWindow(dialog, WM_CLOSE));
    DWORD exitCode = 1;
    EXPECT_TRUE(WaitForExit(&First, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(lock);

    HistoryBytes whole = EmptyHistory();
    const std::vector<LoggedReading> readings = LoggedReadingsOf(SimCallLog(), 1);
    for (std::size_t i = 1; i < readings.size(); ++i) {
        whole = Advanced(whole, HistoryByteOf(readings[i]));
    }
    const HistoryBytes file = ReadFileBytes(HistoryFilePath());
    EXPECT_TRUE(file == pattern || file == whole)
        << "neither the old file nor the new one: " << SameHistory(file, whole).message();
    std::printf("locked history file %s\n", file == pattern ? "kept" : "replaced whole");
    EXPECT_FALSE(FileExists(HistoryTempFilePath()));
}

TEST_F(FaultInjectionTest, HistoryFileThatIsAFolderIsLeftAlone) {
    ASSERT_TRUE(WriteSettingsFile(""));
    ASSERT_TRUE(CreateDirectoryA(HistoryFilePath().c_str(), nullptr));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostCommand(dialog, SaveCommand));
    ASSERT_TRUE(PostToWindow(dialog, WM_ENDSESSION, TRUE));
    EXPECT_TRUE(TickAndCollectBoxes(dialog, 1).empty());
    CloseAndExpectExitZero(dialog);
    EXPECT_TRUE(IsFolder(HistoryFilePath()));
    EXPECT_FALSE(FileExists(HistoryTempFilePath()));
}

// Junk lines without a section header, a key or a comment sign.
std::string JunkLines(std::mt19937& random, int lines, std::size_t longest) {
    static const char characters[] =
        "abcdefghijklmnopqrstuvwxyz0123456789 !\"#$%&'()*+,-./:<>?@\\^_`{|}~\t";
    std::string text;
    for (int line = 0; line < lines; ++line) {
        const std::size_t length = random() % longest;
        for (std::size_t i = 0; i < length; ++i) {
            text += characters[random() % (sizeof characters - 1)];
        }
        text += "\r\n";
    }
    return text;
}

TEST_F(FaultInjectionTest, GarbageSettingsReadAsTheNumbersTheyBeginWith) {
    // A value that does not begin with a number reads as 0: the interval falls back to 60, the
    // threshold 0 stays and makes the first sample alert, the window is shown (RunHidden 0).
    std::mt19937 random(20240611);
    const std::string text = JunkLines(random, 40, 120) +
                             "[Settings]\r\n"
                             "RunHidden=maybe\r\n"
                             "ShowDetails=yes please\r\n"
                             "Interval=soon\r\n"
                             "AlertThreshold=hot\r\n"
                             "Height=tall\r\n"
                             "Weight=-heavy\r\n"
                             "Italic=slanted\r\n"
                             "PitchAndFamily=?\r\n"
                             "FaceName=\x01\x02\x7F\xFF garbage \xB0\r\n"
                             "IconColor=#00FF00\r\n" +
                             JunkLines(random, 40, 120);
    ASSERT_TRUE(WriteSettingsFile(text));
    HWND dialog = ExpectRunningAfterBoxes({{"Kelvane", AlertText}});
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "0");
    EXPECT_EQ(IntervalPosition(dialog), 60);
    EXPECT_EQ(ReadSetting("RunHidden"), "1");
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

TEST_F(FaultInjectionTest, OverlongSettingsLinesAndValuesAreCutNotOverrun) {
    const std::string text = "[Settings]\r\n" + std::string(100000, 'x') + "\r\n" +
                             std::string(5000, 'k') + "=1\r\n" + "Interval=15" +
                             std::string(5000, 'x') + "\r\n" + "AlertThreshold=85 " +
                             std::string(5000, 'z') + "\r\n" +
                             "FaceName=" + std::string(5000, 'F') + "\r\n" + "RunHidden=1\r\n";
    ASSERT_TRUE(WriteSettingsFile(text));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "85");
    EXPECT_EQ(IntervalPosition(dialog), 15);
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

TEST_F(FaultInjectionTest, BinarySettingsFileGivesTheDefaults) {
    std::mt19937 random(7);
    std::string bytes(4096, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    ASSERT_TRUE(WriteSettingsFile(bytes));
    HWND dialog = ExpectRunningAfterBoxes({});
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ReadControlText(dialog, ThresholdControl), "90");
    EXPECT_EQ(IntervalPosition(dialog), 60);
    CloseExpectingSingleGpuHistory(dialog, EmptyHistory());
}

} // namespace
