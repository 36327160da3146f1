// kelvane_bench: the Windows side of scripts/bench.sh. It starts Kelvane and the minimal dialog
// program, answers the vendor warning Kelvane shows at every start under Wine, times the starts,
// posts sampling ticks and reports how many were handled. The script measures the processes
// from outside (memory and CPU time from /proc) at the points this program names.
//
//   kelvane_bench session KELVANE MINIMAL TICKS ROUNDS IDLE_SECONDS
//       Both programs run side by side: start-up, five seconds to settle, IDLE_SECONDS of
//       waiting for their timers (while this process reads the simulated driver once per timer
//       period), then ROUNDS rounds of: TICKS/ROUNDS ticks to the minimal program, as many to
//       Kelvane with a temperature that changes at every reading (every tick renders a new
//       icon), as many with an unchanged temperature, and as many thermal readings of the
//       simulated driver in this process. Alternating the phases gives every figure the same
//       share of the machine's changing load. Then both programs are closed.
//   kelvane_bench startup kelvane|minimal PROGRAM
//       One start, timed, and the close.
//
// Lines on stdout:
//   target NAME PIDHEX       a process to measure: Kelvane.exe, minimal_dialog.exe or
//                            kelvane_bench.exe (this one), with its Windows process id
//   measure LABEL            the script measures, then answers with one line on stdin
//   result KEY VALUE...      a figure measured here
//   error TEXT               what went wrong (the exit code is then 1)
// Lines on stderr, "kelvane_bench: phase LABEL ROUND begin|end", mark the tick phases in a Wine
// debug log that the script may collect from the same stream.
//
// Ticks are paced: each WM_TIMER is posted once the one before it has been handled, so the
// target's queue never fills and every tick wakes the target as its timer would. Kelvane's
// handled ticks are counted in the simulated driver's call log (one thermal reading per tick
// with one GPU); the minimal program's in its own counter, read with ReadProcessMemory, which
// costs that program nothing.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/gpu_monitor.h"
#include "harness.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_discovery.h"
#include "sensors/thermal_reading.h"
#include "support/sim_scenario.h"
#include "support/wine_guard.h"

namespace {

constexpr UINT_PTR SampleTimer = 100;
constexpr char MinimalTitle[] = "Minimal dialog";

// One GPU; the temperature line is added per phase.
constexpr char BaseScenario[] = "initialize.status = 0\n"
                                "displays = 1\n"
                                "version = 53112\n"
                                "gpus = 1\n"
                                "gpu1.name = NVIDIA GeForce GTX 1080\n"
                                "gpu1.sensors = 1\n"
                                "gpu1.sensor1 = 1 50 90\n";
// Every reading differs from the one before, so every tick renders a new icon.
constexpr char ChangingCore[] = "gpu1.core = 51 52\ngpu1.core.cycle = 1\n";
constexpr char SteadyCore[] = "gpu1.core = 50\n";

// Kelvane's settings for the runs: hidden in the tray from the start, shortest interval, the
// minimal program's timer period.
constexpr int TimerPeriodSeconds = 4;
// Time both programs get after start-up before the idle stretch begins.
constexpr int SettleSeconds = 5;
constexpr char TraySettings[] = "[Settings]\r\nRunHidden=1\r\nInterval=4\r\n";

// ---- Output ----

// One line on stdout, flushed at once: the script waits for it.
void Line(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Fail(const char* what) {
    Line("error %s", what);
    return 1;
}

// Report why a step failed; the caller then gives up.
HWND Failed(const char* why) {
    Line("error %s", why);
    return nullptr;
}

bool Refused(const char* why) {
    Line("error %s", why);
    return false;
}

// Names a measuring point and waits until the script has measured.
bool Measure(const std::string& label) {
    Line("measure %s", label.c_str());
    char answer[64];
    return std::fgets(answer, sizeof answer, stdin) != nullptr;
}

void MarkPhase(const char* label, int round, const char* edge) {
    std::fprintf(stderr, "kelvane_bench: phase %s %d %s\n", label, round, edge);
    std::fflush(stderr);
}

void ReportTarget(const char* name, DWORD processId) {
    Line("target %s %04lx", name, processId);
}

// ---- Time ----

double NowMs() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Polls condition() about every millisecond: the resolution of the start-up times.
template <typename Condition>
bool PollFinely(Condition condition, DWORD timeoutMs = StateTimeoutMs) {
    const double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (NowMs() >= deadline)
            return false;
        Sleep(1);
    }
}

// ---- Counting handled ticks ----

// Thermal readings in the simulated driver's call log, counted on from where the last count
// ended, so a long log is not read again and again.
struct CallLogCursor {
    std::string Path;
    LONGLONG Offset = 0;
    int Readings = 0;
};

int CountThermalReadings(CallLogCursor& cursor) {
    HANDLE file = CreateFileA(cursor.Path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return cursor.Readings;
    LARGE_INTEGER at;
    at.QuadPart = cursor.Offset;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    static const char prefix[] = "NvAPI_GPU_GetThermalSettings ";
    char chunk[16384];
    std::string pending;
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        pending.append(chunk, got);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1) {
            if (pending.compare(start, sizeof prefix - 1, prefix) == 0)
                ++cursor.Readings;
            cursor.Offset += static_cast<LONGLONG>(end + 1 - start);
        }
        pending.erase(0, start);
    }
    CloseHandle(file);
    return cursor.Readings;
}

// The minimal program keeps its tick count where its dialog's user data points.
struct MinimalCounter {
    HANDLE Process = nullptr;
    ULONG_PTR Address = 0;
};

int ReadMinimalTicks(const MinimalCounter& counter) {
    ULONGLONG ticks = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(counter.Process, reinterpret_cast<LPCVOID>(counter.Address), &ticks,
                           sizeof ticks, &got) ||
        got != sizeof ticks)
        return -1;
    return static_cast<int>(ticks);
}

// Posts count timer messages, each once the tick before it was handled. Expiries of the
// target's own timer count as handled ticks too. Returns the ticks handled meanwhile, or -1
// when the target stopped handling them.
template <typename Counter>
int PostPacedTicks(HWND window, int count, Counter handled) {
    const int first = handled();
    for (int posted = 1; posted <= count; ++posted) {
        if (!PostToWindow(window, WM_TIMER, SampleTimer, 0))
            return -1;
        if (!PollFinely([&] { return handled() - first >= posted; }))
            return -1;
    }
    // The count rises while the last tick is still being handled (the reading comes first). A
    // sent message is handled only once the target asks for its next message, so its answer
    // means the tick has ended.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, StateTimeoutMs, &answer))
        return -1;
    return handled() - first;
}

// ---- Starting the programs ----

bool IsMinimalDialog(HWND window) {
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    return std::strcmp(title, MinimalTitle) == 0;
}

HWND VisibleMessageBoxOf(DWORD processId) {
    for (HWND window : DialogWindowsOf(processId))
        if (IsMessageBox(window) && IsWindowVisible(window))
            return window;
    return nullptr;
}

HWND VisibleMinimalDialogOf(DWORD processId) {
    for (HWND window : DialogWindowsOf(processId))
        if (IsMinimalDialog(window) && IsWindowVisible(window))
            return window;
    return nullptr;
}

// Start-up times in milliseconds from just before the process was created.
struct StartTimes {
    double FirstWindow = 0;  // Kelvane: the vendor warning; minimal program: its dialog
    double WarningShown = 0; // how long the vendor warning stood until it was answered
    double FirstSample = 0;  // Kelvane only
};

// A clean data folder with the tray settings, a steady temperature and an empty call log.
bool PrepareKelvaneRun(CallLogCursor& log) {
    EndStrayInstances();
    if (!RemoveDataFolder() || !WriteSettingsFile(TraySettings))
        return false;
    StartSimCallLog();
    // StartSimCallLog sets the variable in the process environment, which getenv does not see.
    char path[MAX_PATH] = "";
    GetEnvironmentVariableA("NVAPI_SIM_LOG", path, sizeof path);
    log = CallLogCursor{};
    log.Path = path;
    return WriteSimScenario(std::string(BaseScenario) + SteadyCore);
}

// Starts Kelvane, answers the vendor warning with Ignore and waits for the first sample: the
// start-up reading of GPU 1 and the first tick's reading.
HWND StartKelvaneTimed(ChildProcess* child, const std::string& program, CallLogCursor& log,
                       StartTimes* times) {
    const double start = NowMs();
    if (!StartProgram(child, program))
        return Failed("cannot start Kelvane");
    HWND box = nullptr;
    if (!PollFinely([&] { return (box = VisibleMessageBoxOf(child->ProcessId)) != nullptr; }))
        return Failed("no vendor warning");
    times->FirstWindow = NowMs() - start;
    const MessageBoxView view = ReadMessageBox(box);
    if (view.Text != VendorWarningText())
        return Failed(("a message box other than the vendor warning: " + view.Text).c_str());
    times->WarningShown = NowMs() - start - times->FirstWindow;
    if (!AnswerMessageBox(box, IDIGNORE))
        return Failed("the vendor warning could not be answered");
    if (!PollFinely([&] { return CountThermalReadings(log) >= 2; }))
        return Failed("no first sample in the call log");
    times->FirstSample = NowMs() - start;
    HWND dialog = FindMainDialog(child->ProcessId);
    return dialog ? dialog : Failed("no main dialog");
}

HWND StartMinimalTimed(ChildProcess* child, const std::string& program, StartTimes* times) {
    const double start = NowMs();
    if (!StartProgram(child, program))
        return Failed("cannot start the minimal program");
    HWND dialog = nullptr;
    if (!PollFinely([&] { return (dialog = VisibleMinimalDialogOf(child->ProcessId)) != nullptr; }))
        return Failed("the minimal program showed no dialog");
    times->FirstWindow = NowMs() - start;
    return dialog;
}

void ReportStartTimes(const char* name, const StartTimes& times) {
    Line("result %s_start %.1f %.1f %.1f", name, times.FirstWindow, times.WarningShown,
         times.FirstSample);
}

bool CloseAndWait(ChildProcess* child, HWND window) {
    DWORD exitCode = 1;
    const bool ended = PostToWindow(window, WM_CLOSE) && WaitForExit(child, &exitCode);
    StopProcess(child);
    return ended && exitCode == 0;
}

// ---- The session ----

struct Session {
    ChildProcess Kelvane;
    HWND KelvaneDialog = nullptr;
    CallLogCursor Log;
    ChildProcess Minimal;
    HWND MinimalDialog = nullptr;
    MinimalCounter MinimalTicks;
};

// One measured phase: the script measures at its begin and end; work() returns how many ticks
// or readings it did, negative on failure.
template <typename Work>
bool RunPhase(const char* label, int round, Work work) {
    const std::string name = std::string(label) + "-" + std::to_string(round);
    if (!Measure(name + "-begin"))
        return false;
    MarkPhase(label, round, "begin");
    const int done = work();
    MarkPhase(label, round, "end");
    if (done < 0)
        return false;
    Line("result %s %d", name.c_str(), done);
    return Measure(name + "-end");
}

bool StartBoth(Session& s, const std::string& kelvane, const std::string& minimal) {
    StartTimes times;
    s.MinimalDialog = StartMinimalTimed(&s.Minimal, minimal, &times);
    if (!s.MinimalDialog)
        return false;
    ReportStartTimes("minimal", times);
    s.MinimalTicks.Process = OpenProcess(PROCESS_VM_READ, FALSE, s.Minimal.ProcessId);
    s.MinimalTicks.Address =
        static_cast<ULONG_PTR>(GetWindowLongPtrA(s.MinimalDialog, GWLP_USERDATA));
    if (!s.MinimalTicks.Process || ReadMinimalTicks(s.MinimalTicks) < 0)
        return Refused("cannot read the minimal program's tick count");

    if (!PrepareKelvaneRun(s.Log))
        return Refused("cannot prepare the data folder and the simulated driver");
    times = StartTimes{};
    s.KelvaneDialog = StartKelvaneTimed(&s.Kelvane, kelvane, s.Log, &times);
    if (!s.KelvaneDialog)
        return false;
    ReportStartTimes("kelvane", times);

    // This process reads the simulated driver too, for the driver's own share of a tick.
    if (BindDriverApi() != 0 || !DiscoverGpus() || Monitor.GpuCount < 1)
        return Refused("the simulated driver did not bind in the helper");

    ReportTarget("Kelvane.exe", s.Kelvane.ProcessId);
    ReportTarget("minimal_dialog.exe", s.Minimal.ProcessId);
    ReportTarget("kelvane_bench.exe", GetCurrentProcessId());
    return true;
}

int ReadDriver(int count) {
    for (int i = 0; i < count; ++i) {
        ThermalReading reading = {0, 0, 0};
        if (ReadGpuThermal(Monitor.GpuHandles[0], reading) != 0)
            return -1;
    }
    return count;
}

// The idle stretch: both programs only wait for their timers. Meanwhile this process reads the
// simulated driver at the same pace, once every timer period, which gives the driver's share
// of an idle tick: a reading after seconds of sleep costs more than one in a quick series.
bool IdleStretch(Session& s, int seconds) {
    // The stretch measures waiting, not the last of the start-up work.
    Sleep(SettleSeconds * 1000);
    const int kelvaneBefore = CountThermalReadings(s.Log);
    const int minimalBefore = ReadMinimalTicks(s.MinimalTicks);
    if (!Measure("idle-begin"))
        return false;
    MarkPhase("idle", 0, "begin");
    int readings = 0;
    for (int waited = 0; waited + TimerPeriodSeconds <= seconds; waited += TimerPeriodSeconds) {
        Sleep(TimerPeriodSeconds * 1000);
        if (ReadDriver(1) < 0)
            return false;
        ++readings;
    }
    MarkPhase("idle", 0, "end");
    if (!Measure("idle-end"))
        return false;
    Line("result idle_ticks %d %d %d", CountThermalReadings(s.Log) - kelvaneBefore - readings,
         ReadMinimalTicks(s.MinimalTicks) - minimalBefore, readings);
    return true;
}

bool TickRound(Session& s, int round, int ticks) {
    auto minimalTicks = [&] { return ReadMinimalTicks(s.MinimalTicks); };
    auto kelvaneTicks = [&] { return CountThermalReadings(s.Log); };
    if (!RunPhase("minimal", round,
                  [&] { return PostPacedTicks(s.MinimalDialog, ticks, minimalTicks); }))
        return false;
    if (!WriteSimScenario(std::string(BaseScenario) + ChangingCore) ||
        !RunPhase("rendered", round,
                  [&] { return PostPacedTicks(s.KelvaneDialog, ticks, kelvaneTicks); }))
        return false;
    // The first tick after the change back renders the steady value once; the phase starts
    // after it.
    if (!WriteSimScenario(std::string(BaseScenario) + SteadyCore) ||
        PostPacedTicks(s.KelvaneDialog, 2, kelvaneTicks) < 0 || !RunPhase("unchanged", round, [&] {
            return PostPacedTicks(s.KelvaneDialog, ticks, kelvaneTicks);
        }))
        return false;
    return RunPhase("driver", round, [&] { return ReadDriver(ticks); });
}

int RunSession(const std::string& kelvane, const std::string& minimal, int ticks, int rounds,
               int idleSeconds) {
    Session s;
    if (!StartBoth(s, kelvane, minimal))
        return 1;
    if (!Measure("startup") || !IdleStretch(s, idleSeconds))
        return Fail("the script stopped answering");
    for (int round = 1; round <= rounds; ++round)
        if (!TickRound(s, round, ticks / rounds))
            return Fail("a tick phase did not complete");
    if (!Measure("after-ticks"))
        return Fail("the script stopped answering");
    CloseHandle(s.MinimalTicks.Process);
    const bool minimalEnded = CloseAndWait(&s.Minimal, s.MinimalDialog);
    const bool kelvaneEnded = CloseAndWait(&s.Kelvane, s.KelvaneDialog);
    if (!minimalEnded || !kelvaneEnded)
        return Fail("a program did not end with exit code 0 when closed");
    return 0;
}

int StartupTime(bool kelvane, const std::string& program) {
    ChildProcess child;
    StartTimes times;
    HWND window = nullptr;
    if (kelvane) {
        CallLogCursor log;
        if (!PrepareKelvaneRun(log))
            return Fail("cannot prepare the data folder and the simulated driver");
        window = StartKelvaneTimed(&child, program, log, &times);
    } else {
        window = StartMinimalTimed(&child, program, &times);
    }
    if (!window)
        return 1;
    ReportStartTimes(kelvane ? "kelvane" : "minimal", times);
    if (!CloseAndWait(&child, window))
        return Fail("the program did not end with exit code 0 when closed");
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: kelvane_bench session KELVANE MINIMAL TICKS ROUNDS IDLE_SECONDS\n"
                         "       kelvane_bench startup kelvane|minimal PROGRAM\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // The sessions clear Kelvane's data folder and end stray instances.
    if (int refused = RefuseOutsideTestPrefix("kelvane_bench"))
        return refused;
    if (argc == 7 && std::strcmp(argv[1], "session") == 0) {
        const int ticks = std::atoi(argv[4]);
        const int rounds = std::atoi(argv[5]);
        const int idleSeconds = std::atoi(argv[6]);
        if (ticks <= 0 || rounds <= 0 || ticks < rounds || idleSeconds < 0)
            return Usage();
        return RunSession(argv[2], argv[3], ticks, rounds, idleSeconds);
    }
    if (argc == 4 && std::strcmp(argv[1], "startup") == 0) {
        const std::string kind = argv[2];
        if (kind != "kelvane" && kind != "minimal")
            return Usage();
        return StartupTime(kind == "kelvane", argv[3]);
    }
    return Usage();
}
