// Kelvane's entry point: start-up in its fixed order, then the message loop of the main dialog.
#include <windows.h>
#include <commctrl.h>

#include "app/localized.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "core/gpu_monitor.h"
#include "resource.h"
#include "sensors/gpu_discovery.h"
#include "ui/main_dialog.h"

namespace {

constexpr char InstanceMutexName[] = "OstrelToolsKelvane";

// Runs start-up from the language choice to the settings. False when start-up is to end.
bool PrepareMonitor(HINSTANCE instance) {
    Monitor.AppInstance = instance;
    Monitor.GermanUi = (GetUserDefaultLangID() & 0x3FF) == LANG_GERMAN;
    if (!CheckAdapterVendor() || !BindDriverOrExplain() || !DiscoverGpus())
        return false;
    LearnTemperatureLimit();
    InitCommonControls();
    if (!RegisterDialogClass())
        return false;
    ResolveDataFolder();
    LoadSettings();
    Monitor.SmallAppIcon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    return true;
}

// Keyboard shortcuts are translated before the dialog manager sees a key, so Esc arrives as
// OK rather than as Cancel. Returns the code WM_QUIT carries, or 0 when the loop itself failed.
WPARAM RunMessageLoop(HWND dialog, HACCEL accelerators) {
    MSG message = {};
    BOOL got = 0;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        if (IsWindow(dialog) && (TranslateAcceleratorA(dialog, accelerators, &message) ||
                                 IsDialogMessageA(dialog, &message)))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? message.wParam : 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    bool firstInstance = instanceMutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
    if ((!firstInstance && FrontRunningInstance()) || !PrepareMonitor(instance)) {
        if (instanceMutex != nullptr)
            CloseHandle(instanceMutex);
        return 0;
    }

    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(LocalizedId(IDD_MAIN)), nullptr,
                                     MainDialogProc, 0);
    if (dialog == nullptr) {
        if (Monitor.SmallAppIcon != nullptr)
            DestroyIcon(Monitor.SmallAppIcon);
        if (instanceMutex != nullptr)
            CloseHandle(instanceMutex);
        MessageBoxA(nullptr, "Cannot create main window.", AppTitle, MB_ICONERROR);
        return 0;
    }
    if (!Monitor.RunHidden) {
        ShowWindow(dialog, showCommand);
        UpdateWindow(dialog);
        WriteRunHidden();
    }
    WPARAM exitCode =
        RunMessageLoop(dialog, LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS)));

    if (Monitor.SmallAppIcon != nullptr)
        DestroyIcon(Monitor.SmallAppIcon);
    if (instanceMutex != nullptr)
        CloseHandle(instanceMutex);
    return static_cast<int>(exitCode);
}
