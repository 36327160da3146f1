// The program-wide state record: one instance, Monitor, lives for the whole process and is only
// touched from the GUI thread.
#pragma once

#include <windows.h>

#include "core/monitor_types.h"
#include "sensors/driver_records.h"

struct GpuMonitor {
    // Start-up.
    HINSTANCE AppInstance;
    bool GermanUi;
    std::uint32_t AlertThresholdDefault;
    char SettingsPath[PathCapacity];
    char HistoryPath[PathCapacity];
    HICON SmallAppIcon;

    // Settings.
    bool RunHidden;
    bool ShowDetails;
    std::uint32_t Interval;       // seconds, 4 to 60
    std::uint32_t AlertThreshold; // NoReading = no threshold
    LOGFONTA IconFont;
    COLORREF IconColor;

    // GPU discovery. Only slots 0 (GPU 1) and 1 (GPU 2) are ever used.
    NvPhysicalGpuHandle GpuHandles[NvMaxPhysicalGpus];
    std::uint32_t GpuCount;
    char DriverVersionText[64];
    char GpuName[NameCapacity];

    // Sampling. AlertBoxOpen is 1 while the alert box waits for its answer.
    std::uint32_t AlertLatch;
    std::uint32_t AlertBoxOpen;
    std::uint32_t AmbientTemperature;
    std::uint32_t LimitTemperature;

    // History: Trace[0] belongs to GPU 1, Trace[1] to GPU 2.
    HistoryTrace Trace[MonitoredGpus];
    std::uint32_t PeakTemperature;

    // Tray entries, per GPU.
    std::uint32_t ShownTemperature[MonitoredGpus];
    HICON GpuIcon[MonitoredGpus];
    bool DualGpu;

    // Main dialog: 32-bit flags, 0 or 1.
    std::uint32_t HiddenToTray;
    std::uint32_t DetailsShown;
    std::uint32_t HelpBoxOpen;
};

extern GpuMonitor Monitor;

// Sample interval bounds in seconds, and the timer that drives sampling.
inline constexpr std::uint32_t MinInterval = 4;
inline constexpr std::uint32_t MaxInterval = 60;
inline constexpr UINT_PTR IDT_SAMPLE = 100;

// Messages and ids of the notification-area entries.
inline constexpr UINT WM_TRAY_NOTIFY = WM_APP + 42;
inline constexpr UINT WM_REFRESH_NOW = WM_APP + 43;
inline constexpr UINT TRAY_ID_GPU1 = 4242;
inline constexpr UINT TRAY_ID_GPU2 = 4243;

// The program's own name: window title, message-box caption and default GPU name.
inline constexpr char AppTitle[] = "Kelvane";
