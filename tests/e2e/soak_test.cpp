// Weeks of running, compressed: one instance of the program takes 100,000 sampling ticks with
// changing temperatures, a few thousand display changes that add and remove the second GPU,
// and a few thousand refreshes. Its memory, GDI objects, windows and kernel handles stay flat,
// its history holds exactly the last samples, and it still closes with exit code 0.
//
// Wine has no GetGuiResources and no GetProcessHandleCount, so the child is measured from
// outside in other ways:
// - memory: K32GetProcessMemoryInfo of the child, which Wine answers from the Unix process's
//   /proc status: the working set is VmRSS, the page-file usage its anonymous (private) memory;
// - GDI objects: Wine keeps each process's GDI handle table in that process and points the
//   PEB's GdiSharedHandleTable at it, as Windows does, so the child's table is read with
//   ReadProcessMemory and its live entries counted. Every icon holds bitmaps of its own, so an
//   icon that is never destroyed shows here too;
// - windows (the USER objects the program makes besides icons): the child's top-level and
//   child windows;
// - kernel handles: the child's entries in the system handle list (NtQuerySystemInformation).
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "history_image.h"
#include "support/tray_host.h"

namespace {

constexpr WPARAM SampleTimerId = 100;
constexpr int RefreshCommand = 40001;

// ---- Measuring the child ----

struct ChildMeasure {
    SIZE_T PrivateBytes = 0; // page-file usage: the process's own, anonymous memory
    SIZE_T WorkingSet = 0;
    int GdiObjects = -1;
    int Windows = 0;
    int Handles = -1;
};

BOOL CALLBACK CountChildWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

struct WindowCount {
    DWORD ProcessId;
    int Count;
};

BOOL CALLBACK CountProcessWindow(HWND window, LPARAM parameter) {
    auto* count = reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->ProcessId) {
        ++count->Count;
        EnumChildWindows(window, CountChildWindow, reinterpret_cast<LPARAM>(&count->Count));
    }
    return TRUE;
}

int CountWindowsOf(DWORD processId) {
    WindowCount count = {processId, 0};
    EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&count));
    return count.Count;
}

// The GDI handle table of another process: PEB.GdiSharedHandleTable (offset 0xF8 in a 64-bit
// PEB) points at 65,536 entries of 24 bytes; an entry whose type byte (offset 14) is not 0 is
// in use. -1 when the table cannot be read.
int CountGdiObjectsOf(HANDLE process) {
    using QueryProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic = {};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) {
        return -1;
    }
    constexpr std::size_t GdiTableOffset = 0xF8;
    constexpr std::size_t Entries = 0x10000;
    constexpr std::size_t EntrySize = 24;
    constexpr std::size_t TypeOffset = 14;
    std::uint64_t table = 0;
    if (!ReadProcessMemory(process,
                           reinterpret_cast<const char*>(basic.PebBaseAddress) + GdiTableOffset,
                           &table, sizeof table, nullptr) ||
        table == 0) {
        return -1;
    }
    std::vector<unsigned char> entries(Entries * EntrySize);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                           entries.size(), &read) ||
        read != entries.size()) {
        return -1;
    }
    int live = 0;
    for (std::size_t i = 0; i < Entries; ++i) {
        live += entries[i * EntrySize + TypeOffset] != 0 ? 1 : 0;
    }
    return live;
}

// Kernel handles of another process, from the system's handle list (GetProcessHandleCount is a
// stub in Wine). -1 when the list cannot be had.
int CountHandlesOf(DWORD processId) {
    struct HandleEntry {
        ULONG ProcessId;
        UCHAR ObjectType;
        UCHAR Flags;
        USHORT Handle;
        PVOID Object;
        ACCESS_MASK Access;
    };
    struct HandleList {
        ULONG Count;
        HandleEntry Handles[1];
    };
    using QuerySystem = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    constexpr ULONG SystemHandleInformation = 16;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query ? query(SystemHandleInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &needed)
                                  : -1;
        if (status == 0) {
            break;
        }
        constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004);
        if (status != InfoLengthMismatch || buffer.size() >= (1u << 28)) {
            return -1;
        }
        buffer.resize(buffer.size() * 4);
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < list->Count; ++i) {
        count += list->Handles[i].ProcessId == processId ? 1 : 0;
    }
    return count;
}

ChildMeasure Measure(const ChildProcess& child) {
    ChildMeasure measure;
    // The GDI table is read before the memory is measured: reading pages of another process
    // that it never touched can make them resident in it (here the whole 1.5 MB table became
    // part of the program's anonymous memory at the first reading), which is no growth of the
    // program's own.
    measure.GdiObjects = CountGdiObjectsOf(child.Process);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(child.Process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                                sizeof memory)) {
        // Wine leaves PrivateUsage at 0 and reports the anonymous memory as page-file usage.
        measure.PrivateBytes = memory.PagefileUsage;
        measure.WorkingSet = memory.WorkingSetSize;
    }
    measure.Windows = CountWindowsOf(child.ProcessId);
    measure.Handles = CountHandlesOf(child.ProcessId);
    return measure;
}

void PrintMeasure(const char* when, const ChildMeasure& measure) {
    std::printf("%-22s private %7zu KiB, working set %7zu KiB, GDI objects %d, windows %d, "
                "handles %d\n",
                when, measure.PrivateBytes / 1024, measure.WorkingSet / 1024, measure.GdiObjects,
                measure.Windows, measure.Handles);
    std::fflush(stdout);
}

// ---- Following the driver's call log ----

// Reads the simulated driver's call log as it grows, only the new part each time, and keeps
// GPU 1's readings: the log of 100,000 ticks is megabytes, too much to read whole every poll.
class ReadingsFollower {
  public:
    ReadingsFollower() {
        char path[MAX_PATH] = "";
        GetEnvironmentVariableA("NVAPI_SIM_LOG", path, sizeof path);
        Path = path;
    }

    // GPU 1's readings so far.
    const std::vector<LoggedReading>& Gpu1() {
        Update();
        return Readings;
    }

    int Gpu1Count() {
        Update();
        return static_cast<int>(Readings.size());
    }

  private:
    void Update() {
        HANDLE file = CreateFileA(Path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return;
        }
        LARGE_INTEGER offset;
        offset.QuadPart = Offset;
        SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
        char chunk[65536];
        DWORD got = 0;
        while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
            Offset += got;
            Pending.append(chunk, got);
        }
        CloseHandle(file);
        std::size_t start = 0;
        for (std::size_t end; (end = Pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            LoggedReading reading;
            if (ParseThermalLine(Pending.substr(start, end - start), &reading) &&
                reading.Gpu == 1) {
                Readings.push_back(reading);
            }
        }
        Pending.erase(0, start);
    }

    std::string Path;
    long long Offset = 0;
    std::string Pending;
    std::vector<LoggedReading> Readings;
};

// ---- The soak ----

constexpr int Ticks = 100000;
// Ticks before the first measure, with their refreshes and display changes (twenty of each,
// a multiple of four display changes, so one GPU is monitored again after them).
constexpr int WarmUpTicks = 1000;
// Ticks per block; after each the program is given time to catch up and is measured.
constexpr int BlockTicks = 10000;
// Every this many ticks one refresh (F5 key and refresh command in turn) and, half-way between,
// one display change.
constexpr int EventEvery = 50;
// Ticks of the first block, taken with the window shown so that every tick repaints the graph.
constexpr int VisibleTicks = BlockTicks;
// Ticks after the last display change and refresh, so the history holds only them.
constexpr int FinalTicks = 300;
// Messages allowed to wait in the program's queue (Windows and Wine hold at most 10,000).
constexpr int MostQueued = 2000;
// GDI objects and handles the system may add on demand over the run; a leak in the program
// grows with the thousands of operations of every block.
constexpr int ObjectTolerance = 8;
// Growth of the private memory tolerated over the whole run: allocator and Wine caches move a
// little; a leak of even a few bytes per tick over 100,000 ticks is far more.
constexpr SIZE_T MemoryToleranceBytes = 1024 * 1024;

// GPU 1 reads 50 to 53 and GPU 2 60 to 63, each value for twenty readings in a row, so one
// reading in twenty changes a tray number (an icon change costs some thirty unchanged ticks). The
// GPU count steps through 1, 2, 0, 2 on each display change (start-up takes the first), adding and
// removing the second tray entry every time; after a multiple of four changes one GPU is monitored
// again.
std::string SoakScenario() {
    std::string gpu1 = "gpu1.core =";
    std::string gpu2 = "gpu2.core =";
    for (int value = 0; value < 4; ++value) {
        for (int i = 0; i < 20; ++i) {
            gpu1 += " " + std::to_string(50 + value);
            gpu2 += " " + std::to_string(60 + (value + 2) % 4);
        }
    }
    return std::string(DriverScenario) + "gpus = 1 2 0 2\ngpus.cycle = 1\n" +
           GpuScenario(1, Gpu1Name, 50, 90) + GpuScenario(2, Gpu2Name, 60, 85) + gpu1 +
           "\ngpu1.core.cycle = 1\n" + gpu2 + "\ngpu2.core.cycle = 1\n";
}

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

class SoakTest : public KelvaneEndToEnd {
  protected:
    // Posts one sampling tick, and the refresh or display change that falls on it.
    void PostTick(HWND dialog, int tick) {
        ASSERT_TRUE(PostToWindow(dialog, WM_TIMER, SampleTimerId));
        ++ExpectedReadings;
        if (tick % EventEvery == 0) {
            // Both ways of asking for a refresh: the key through the accelerators, the command.
            ASSERT_TRUE(tick % (2 * EventEvery) == 0 ? PostKey(dialog, VK_F5)
                                                     : PostCommand(dialog, RefreshCommand));
            ++ExpectedReadings;
            ++Refreshes;
        } else if (tick % EventEvery == EventEvery / 2) {
            // The display change posts one more tick itself.
            ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
            ++ExpectedReadings;
            ++DisplayChanges;
        }
    }

    // Posts ticks first..last-1, never letting more than MostQueued wait.
    void PostTicks(HWND dialog, int first, int last) {
        for (int tick = first; tick < last; ++tick) {
            ASSERT_NO_FATAL_FAILURE(PostTick(dialog, tick));
            if (tick % 500 == 499) {
                ASSERT_TRUE(WaitUntil([&] {
                    return Follower.Gpu1Count() >= ExpectedReadings - MostQueued ||
                           !IsRunning(First);
                }));
                ASSERT_TRUE(IsRunning(First));
            }
        }
    }

    // Waits until every posted message was handled and the program is idle in its message loop:
    // all readings arrived, and a message sent afterwards came back (a sent message is handled
    // only when the program asks for its next message).
    void WaitUntilIdle(HWND dialog) {
        ASSERT_TRUE(WaitUntil([&] {
            return Follower.Gpu1Count() >= ExpectedReadings || !IsRunning(First);
        })) << Follower.Gpu1Count()
            << " of " << ExpectedReadings << " readings";
        ASSERT_TRUE(IsRunning(First));
        DWORD_PTR result = 0;
        ASSERT_TRUE(
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, StateTimeoutMs, &result));
        // The program's own timer ticks once a minute (the longest interval) on top of the
        // posted ticks.
        const int timerTicks = Follower.Gpu1Count() - ExpectedReadings;
        ASSERT_LE(timerTicks, MillisecondsSince(Started) / 60000 + 1 - TimerTicks);
        TimerTicks += timerTicks;
        ExpectedReadings += timerTicks;
    }

    // Between idle moments in the same state the windows stay the same and objects, handles and
    // memory do not grow beyond what the system may make on demand of its own.
    static void ExpectFlat(const ChildMeasure& baseline, const ChildMeasure& now) {
        EXPECT_LE(now.GdiObjects, baseline.GdiObjects + ObjectTolerance);
        EXPECT_EQ(now.Windows, baseline.Windows);
        EXPECT_LE(now.Handles, baseline.Handles + ObjectTolerance);
        EXPECT_LE(now.PrivateBytes, baseline.PrivateBytes + MemoryToleranceBytes);
    }

    ReadingsFollower Follower;
    // GPU 1 readings so far: start-up's and the first sample's, then one per posted tick,
    // refresh and display change.
    int ExpectedReadings = 2;
    int Refreshes = 0;
    int DisplayChanges = 0;
    int TimerTicks = 0;
    std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
};

TEST_F(SoakTest, HundredThousandTicksLeaveMemoryObjectsAndHistoryIntact) {
    ASSERT_TRUE(WriteSimScenario(SoakScenario()));
    ASSERT_TRUE(WriteSettingsFile("[Settings]\r\nAlertThreshold=4294967295\r\n"));
    ASSERT_TRUE(WaitForTrayHost());
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    Follower = ReadingsFollower();
    ASSERT_TRUE(WaitForVisible(dialog, true));

    // Warm-up, window shown: Wine and the program create what they keep for good.
    ASSERT_NO_FATAL_FAILURE(PostTicks(dialog, 0, WarmUpTicks));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle(dialog));
    const ChildMeasure shownBaseline = Measure(First);
    PrintMeasure("shown, warmed up", shownBaseline);
    ASSERT_GT(shownBaseline.GdiObjects, 0) << "the child's GDI table cannot be read";
    ASSERT_GT(shownBaseline.Handles, 0) << "the child's handles cannot be listed";

    ChildMeasure hiddenBaseline;
    int tick = 0;
    while (tick < Ticks) {
        const auto blockStart = std::chrono::steady_clock::now();
        const int last = std::min(Ticks, tick + BlockTicks);
        ASSERT_NO_FATAL_FAILURE(PostTicks(dialog, tick, last));
        ASSERT_NO_FATAL_FAILURE(WaitUntilIdle(dialog));
        tick = last;
        const ChildMeasure measure = Measure(First);
        char label[64];
        std::snprintf(label, sizeof label, "%d ticks (%lld ms)", tick,
                      MillisecondsSince(blockStart));
        PrintMeasure(label, measure);
        if (tick == VisibleTicks) {
            ExpectFlat(shownBaseline, measure);
            // OK hides the window to the tray; from now on ticks do not paint.
            ASSERT_TRUE(PostCommand(dialog, IDOK));
            ASSERT_TRUE(WaitForVisible(dialog, false));
            ASSERT_NO_FATAL_FAILURE(WaitUntilIdle(dialog));
            hiddenBaseline = Measure(First);
            PrintMeasure("hidden", hiddenBaseline);
        } else if (tick > VisibleTicks) {
            ExpectFlat(hiddenBaseline, measure);
        }
    }

    // The last samples come without refreshes or display changes, so the history is theirs.
    for (int i = 0; i < FinalTicks; ++i) {
        ASSERT_TRUE(PostToWindow(dialog, WM_TIMER, SampleTimerId));
        ++ExpectedReadings;
    }
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle(dialog));
    ExpectFlat(hiddenBaseline, Measure(First));
    EXPECT_EQ(DisplayChanges % 4, 0) << "the run should end on one GPU";
    EXPECT_TRUE(WaitUntil([] { return TrayTooltips() == std::vector<std::string>{Gpu1Name}; }));

    const std::vector<LoggedReading> readings = Follower.Gpu1();
    CloseAndExpectExitZero(dialog);
    std::printf("%d posted ticks, %d timer ticks, %d refreshes, %d display changes, %d GPU 1 "
                "readings in %lld ms\n",
                Ticks + FinalTicks, TimerTicks, Refreshes, DisplayChanges, ExpectedReadings,
                MillisecondsSince(Started));
    EXPECT_TRUE(WaitUntil([] { return TrayTooltips().empty(); }));

    HistoryBytes expected = EmptyHistory();
    for (std::size_t i = readings.size() - TraceLength; i < readings.size(); ++i) {
        expected = Advanced(expected, HistoryByteOf(readings[i]));
    }
    EXPECT_TRUE(SameHistory(ReadFileBytes(HistoryFilePath()), expected));
}

} // namespace
