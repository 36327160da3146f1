#include "app/startup.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "app/localized.h"
#include "app/startup_rules.h"
#include "core/gpu_monitor.h"
#include "core/text_rules.h"
#include "resource.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_discovery.h"
#include "sensors/thermal_reading.h"

namespace {

constexpr char DialogClassName[] = "OstrelKelvaneDlgClass";

// Finds the primary display device, or the last one enumerated when none is marked primary.
void FindPrimaryAdapter(DISPLAY_DEVICEA& device) {
    device = {};
    device.cb = sizeof device;
    for (DWORD index = 0; EnumDisplayDevicesA(nullptr, index, &device, 0); ++index) {
        if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE)
            break;
    }
}

// The family folder and the program's folder inside the application-data folder.
constexpr const char* DataSubfolders[] = {"Ostrel-Tools", "Kelvane"};

// Ends path with a backslash, then appends each data subfolder, creates it when missing and
// ends the path with a backslash again. False when a step does not fit: the shell functions then
// leave the buffer empty or unchanged, and the next folder would be relative to the current one.
bool AppendDataFolders(char* path) {
    if (PathAddBackslashA(path) == nullptr)
        return false;
    for (const char* folder : DataSubfolders) {
        if (!PathAppendA(path, folder))
            return false;
        if (!PathIsDirectoryA(path))
            CreateDirectoryA(path, nullptr);
        if (PathAddBackslashA(path) == nullptr)
            return false;
    }
    return true;
}

// The ANSI form of a wide path, only when it names the same file: no character was replaced by
// a look-alike or a default character. A UTF-8 ANSI code page spells every path (and takes
// neither the best-fit flag nor the default-character report).
bool ExactAnsiPath(const wchar_t* wide, char* ansi, int capacity) {
    if (GetACP() == CP_UTF8)
        return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, ansi, capacity, nullptr,
                                   nullptr) > 0;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, ansi, capacity,
                                     nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

// For an application-data folder the ANSI code page cannot spell: creates the data subfolders
// by their wide names and gives the short (8.3) form of the program's folder, ending with a
// backslash, which the ANSI file functions reach. Empty when there is no exact ANSI form (short
// names switched off on that volume) or the path does not fit.
void ShortDataFolder(wchar_t* wideFolder, char* folder) {
    folder[0] = '\0';
    for (const char* name : DataSubfolders) {
        if (!AppendWideFolder(wideFolder, MAX_PATH, name))
            return;
        if (!PathIsDirectoryW(wideFolder))
            CreateDirectoryW(wideFolder, nullptr);
    }
    wchar_t shortFolder[MAX_PATH];
    DWORD length = GetShortPathNameW(wideFolder, shortFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !ExactAnsiPath(shortFolder, folder, MAX_PATH) ||
        PathAddBackslashA(folder) == nullptr)
        folder[0] = '\0';
}

} // namespace

bool FrontRunningInstance() {
    HWND window = FindWindowA("#32770", AppTitle);
    if (window == nullptr)
        window = FindWindowA(DialogClassName, AppTitle);
    if (window == nullptr)
        return false;
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return true;
}

bool CheckAdapterVendor() {
    for (;;) {
        Monitor.DriverVersionText[0] = '\0';
        CopyText(Monitor.GpuName, AppTitle);
        DISPLAY_DEVICEA device;
        FindPrimaryAdapter(device);
        if (device.DeviceString[0] != '\0')
            CopyText(Monitor.GpuName, device.DeviceString, sizeof device.DeviceString);
        device.DeviceID[sizeof device.DeviceID - 1] = '\0';
        if (AdapterIdPassesVendorCheck(device.DeviceID))
            return true;
        char text[MessageCapacity];
        if (LoadLocalizedString(IDS_NOT_NVIDIA, text) == 0)
            return false;
        int answer =
            MessageBoxA(nullptr, text, Monitor.GpuName, MB_ICONWARNING | MB_ABORTRETRYIGNORE);
        if (answer == IDIGNORE)
            return true;
        if (answer != IDRETRY)
            return false;
    }
}

bool BindDriverOrExplain() {
    if (BindDriverApi() == NvOk)
        return true;
    char text[MessageCapacity];
    if (LoadLocalizedString(IDS_NO_DRIVER_LIBRARY, text) != 0)
        MessageBoxA(nullptr, text, Monitor.GpuName, MB_ICONERROR);
    return false;
}

void LearnTemperatureLimit() {
    ThermalReading reading = {0, 0, 0};
    NvStatus status = ReadGpuThermal(Monitor.GpuHandles[0], reading);
    // Over a remote desktop connection the driver cannot read the sensors; that is no error.
    if (status != NvOk && GetSystemMetrics(SM_REMOTESESSION) == 0)
        ShowDriverError(nullptr, status, MB_ICONERROR);
    std::uint32_t gpu1Limit = reading.Limit;

    bool gpu2Read = false;
    if (Monitor.GpuCount > 1) {
        gpu2Read = ReadGpuThermal(Monitor.GpuHandles[1], reading) == NvOk;
        Monitor.DualGpu = gpu2Read;
    }
    Monitor.AlertThresholdDefault = AlertThresholdFromLimits(gpu1Limit, gpu2Read, reading.Limit);
}

bool RegisterDialogClass() {
    WNDCLASSA windowClass = {};
    if (!GetClassInfoA(nullptr, "#32770", &windowClass)) {
        windowClass.style = 0;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
    }
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.hInstance = Monitor.AppInstance;
    windowClass.hIcon = LoadIconA(Monitor.AppInstance, MAKEINTRESOURCEA(IDI_APP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = DialogClassName;
    return RegisterClassA(&windowClass) != 0;
}

void ResolveDataFolder() {
    // Without an application-data folder the files go to the root of the current drive.
    char folder[MAX_PATH] = "\\";
    wchar_t appData[MAX_PATH] = L"";
    if (SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE) &&
        !ExactAnsiPath(appData, folder, MAX_PATH)) {
        ShortDataFolder(appData, folder);
    } else if (!AppendDataFolders(folder)) {
        folder[0] = '\0';
    }
    // A path that would not fit, or no data folder at all, stays empty: that file is then
    // neither read nor written.
    DataFilePath(Monitor.SettingsPath, sizeof Monitor.SettingsPath, folder, "Kelvane.ini");
    DataFilePath(Monitor.HistoryPath, sizeof Monitor.HistoryPath, folder, "Kelvane.dat");
}
