// The history file survives the program being killed at any moment. Each round starts the
// program on the file the previous round left, makes it sample and save in a loop (F2 after
// every tick, the temperatures changing on every tick) and kills it (TerminateProcess) at a
// random point. The file must then be either the one the round started from or a whole new
// one: the started-from history moved on by some of the samples the round took, never short,
// never a mix. A temporary file left by a kill must not disturb the next start, which the next
// round's check covers: its saves continue exactly from what the kill left.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "history_image.h"

namespace {

constexpr WPARAM SampleTimerId = 100;
constexpr int SaveCommand = 40002;

// Rounds of start, save loop and kill. Each costs about a start of the program under Wine plus
// up to a burst of ticks and saves (see the report printed at the end).
constexpr int Rounds = 250;
// Tick-and-save pairs posted per round; the kill falls somewhere among them.
constexpr int BurstPairs = 12;
// Starts that may end by themselves before the first sample (see CountStartThatEndedItself).
constexpr int MostStartsEndingThemselves = 2;
// Longest random delay between reaching the chosen tick and the kill.
constexpr int LongestKillDelayMicroseconds = 16000;

// Two GPUs whose temperatures step through distinct values on every reading, so that every
// saved history differs from the one saved before it. No alert threshold (the values pass any
// limit) and a hidden start, so nothing but the samples and saves happens.
std::string SteppingScenario() {
    std::string gpu1 = "gpu1.core =";
    std::string gpu2 = "gpu2.core =";
    for (int i = 0; i < 200; ++i) {
        gpu1 += " " + std::to_string(20 + i);
        gpu2 += " " + std::to_string(219 - (i * 7) % 200);
    }
    return std::string(DriverScenario) + "gpus = 2\ngpus.status = 0\n" +
           GpuScenario(1, Gpu1Name, 50, 90) + GpuScenario(2, Gpu2Name, 60, 85) + gpu1 +
           "\ngpu1.core.cycle = 1\n" + gpu2 + "\ngpu2.core.cycle = 1\n";
}

constexpr char QuietSettings[] = "[Settings]\r\nRunHidden=1\r\nAlertThreshold=4294967295\r\n";

// The histories a round could have saved: the one it loaded, moved on by each of its samples
// in turn (the first reading of each GPU is start-up's, not a sample).
std::vector<HistoryBytes> PossibleSaves(const HistoryBytes& loaded) {
    const std::vector<std::string> log = SimCallLog();
    const std::vector<LoggedReading> gpu1 = LoggedReadingsOf(log, 1);
    const std::vector<LoggedReading> gpu2 = LoggedReadingsOf(log, 2);
    std::vector<HistoryBytes> saves;
    HistoryBytes image = loaded;
    for (std::size_t i = 1; i < gpu1.size(); ++i) {
        // A kill between the two readings of a tick leaves a tick without its GPU 2 reading;
        // such a tick never reached its save.
        if (i >= gpu2.size()) {
            break;
        }
        image = Advanced(image, HistoryByteOf(gpu1[i]), HistoryByteOf(gpu2[i]));
        saves.push_back(image);
    }
    return saves;
}

// Polls every millisecond for at most the state limit. A round is mostly a start of the
// program, and the harness's coarser polling would add tens of milliseconds to each.
template <typename Condition>
bool PollClosely(Condition condition) {
    const ULONGLONG deadline = GetTickCount64() + StateTimeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

// Waits until GPU 1 has been read `count` times; false when the program ended first.
bool WaitForGpu1Readings(int count, const ChildProcess& child) {
    bool reached = false;
    PollClosely([&] {
        reached = CountSimCalls(ThermalCall, 1) >= count;
        return reached || !IsRunning(child);
    });
    return reached;
}

// Busy-waits the given number of microseconds: the kill should land anywhere inside a save,
// at a finer grain than the scheduler's sleeps.
void SpinMicroseconds(int microseconds) {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const LONGLONG ticks = frequency.QuadPart * microseconds / 1000000;
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < ticks);
}

class CrashSafetyTest : public KelvaneEndToEnd {
  protected:
    // Starts the program, answers the vendor warning with Ignore and waits until the first
    // sample, or returns false.
    bool StartToSampling() {
        StartSimCallLog();
        if (!StartKelvane(&First)) {
            return false;
        }
        HWND warning = nullptr;
        PollClosely([&] {
            for (HWND window : DialogWindowsOf(First.ProcessId)) {
                if (IsMessageBox(window) && IsWindowVisible(window)) {
                    warning = window;
                }
            }
            return warning != nullptr || !IsRunning(First);
        });
        if (!warning || ReadMessageBox(warning).Text != VendorWarningText() ||
            !PostToWindow(warning, WM_COMMAND, IDIGNORE)) {
            return false;
        }
        PollClosely([&] {
            Dialog = FindMainDialog(First.ProcessId);
            return Dialog != nullptr || !IsRunning(First);
        });
        // Start-up reads GPU 1 once, the first sample once more.
        return Dialog != nullptr && WaitForGpu1Readings(2, First);
    }

    // Under Wine 8 a starting process very rarely (here about once in a few thousand starts,
    // under load) dies inside Wine's own GDI set-up, in gdi32 reading a null GDI handle table,
    // before the program's code gets far. A start that ends by itself before its first sample
    // cannot have touched the history file, which is written only by saves that come later: it
    // is counted, checked for exactly that and repeated, a few times at most. A start that
    // hangs, or shows something other than the vendor warning, still fails the test.
    void CountStartThatEndedItself(const HistoryBytes& previous, int* startsEnded) {
        ASSERT_FALSE(IsRunning(First)) << "the program did not reach its first sample";
        DWORD exitCode = 0;
        GetExitCodeProcess(First.Process, &exitCode);
        std::printf("a start ended by itself with exit code 0x%lX\n", exitCode);
        StopProcess(&First);
        constexpr DWORD FirstExceptionCode = 0xC0000000;
        ASSERT_GE(exitCode, FirstExceptionCode) << "a start ended normally before its first sample";
        ASSERT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), previous));
        ASSERT_LE(++*startsEnded, MostStartsEndingThemselves);
    }

    HWND Dialog = nullptr;
};

TEST_F(CrashSafetyTest, HistoryFileIsAlwaysWholeAfterAKillWhileSaving) {
    ASSERT_TRUE(WriteSimScenario(SteppingScenario()));
    ASSERT_TRUE(WriteSettingsFile(QuietSettings));
    ASSERT_TRUE(WriteHistoryFile(PatternHistory()));

    std::mt19937 random(0x4B656C76);
    HistoryBytes previous = PatternHistory();
    int keptPrevious = 0;
    int replaced = 0;
    int temporaryLeft = 0;
    int startsEnded = 0;
    const ULONGLONG started = GetTickCount64();
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        while (!StartToSampling()) {
            ASSERT_NO_FATAL_FAILURE(CountStartThatEndedItself(previous, &startsEnded));
        }

        // Ticks and saves alternate; the kill comes after the chosen tick was read, plus a
        // random delay. A chosen tick of 0 kills before the burst is even posted.
        const int chosenTick = static_cast<int>(random() % (BurstPairs + 1));
        const int delay = static_cast<int>(random() % (LongestKillDelayMicroseconds + 1));
        if (chosenTick > 0) {
            for (int i = 0; i < BurstPairs; ++i) {
                ASSERT_TRUE(PostToWindow(Dialog, WM_TIMER, SampleTimerId));
                ASSERT_TRUE(PostCommand(Dialog, SaveCommand));
            }
            ASSERT_TRUE(WaitForGpu1Readings(2 + chosenTick, First));
        }
        SpinMicroseconds(delay);
        ASSERT_TRUE(TerminateProcess(First.Process, 1));
        ASSERT_EQ(WaitForSingleObject(First.Process, StateTimeoutMs), WAIT_OBJECT_0);
        StopProcess(&First);

        bool exists = false;
        const HistoryBytes file = ReadFileBytes(HistoryFilePath(), &exists);
        ASSERT_TRUE(exists) << "the kill left no history file";
        temporaryLeft += FileExists(HistoryTempFilePath()) ? 1 : 0;
        if (file == previous) {
            ++keptPrevious;
            continue;
        }
        bool whole = false;
        for (const HistoryBytes& save : PossibleSaves(previous)) {
            whole = whole || file == save;
        }
        ASSERT_TRUE(whole) << "the file is neither the previous one nor a whole new one: "
                           << SameHistory(file, previous).message() << " (tick " << chosenTick
                           << ", delay " << delay << " us)";
        ++replaced;
        previous = file;
    }
    const ULONGLONG elapsed = GetTickCount64() - started;
    std::printf("%d kills in %llu ms: %d left the previous file, %d a new whole one; a temporary "
                "file was left %d times; %d starts ended by themselves\n",
                Rounds, elapsed, keptPrevious, replaced, temporaryLeft, startsEnded);

    // After all that, a normal run continues from the last file and leaves no temporary file.
    ASSERT_TRUE(StartToSampling());
    CloseAndExpectExitZero(Dialog);
    const std::vector<HistoryBytes> expected = PossibleSaves(previous);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), expected.back()));
    EXPECT_FALSE(FileExists(HistoryTempFilePath()));
}

} // namespace
