#include "ui/tray_icons.h"

#include <cstring>

#include "core/gpu_monitor.h"
#include "ui/number_icon.h"
#include "ui/tray_rules.h"

// The whole 64-bit record, up to its last member hBalloonIcon, is handed to the shell.
static_assert(sizeof(NOTIFYICONDATAA) == 528, "NOTIFYICONDATAA must be the full 64-bit record");

namespace {

constexpr int Gpu1 = 0;
constexpr int Gpu2 = 1;

// The tip number of entry TRAY_ID_GPU1: the GPU name alone, "GPU 1" beside a second entry.
unsigned FirstEntryTip() {
    return Monitor.DualGpu ? 1u : 0u;
}

void DestroyGpuIcon(int slot) {
    if (Monitor.GpuIcon[slot]) {
        DestroyIcon(Monitor.GpuIcon[slot]);
        Monitor.GpuIcon[slot] = nullptr;
    }
}

// Replaces the icon of a GPU with a new rendering of value's low byte.
void RenderGpuIcon(int slot, std::uint32_t value) {
    DestroyGpuIcon(slot);
    Monitor.GpuIcon[slot] = RenderNumberIcon(static_cast<std::uint8_t>(value));
}

} // namespace

void FillTrayRecord(NOTIFYICONDATAA& record, HWND dialog, UINT id, HICON icon, unsigned tipNumber) {
    std::memset(&record, 0, sizeof record);
    record.cbSize = sizeof record;
    record.hWnd = dialog;
    record.uID = id;
    // Without an icon the entry keeps (or, when added, lacks) its picture.
    record.uFlags = NIF_MESSAGE | NIF_TIP | (icon ? NIF_ICON : 0u);
    record.uCallbackMessage = WM_TRAY_NOTIFY;
    record.hIcon = icon;
    FormatTrayTip(record.szTip, sizeof record.szTip, tipNumber, Monitor.GpuName,
                  sizeof Monitor.GpuName);
}

BOOL TrayNotify(HWND dialog, DWORD action, UINT id, HICON icon, unsigned tipNumber) {
    NOTIFYICONDATAA record;
    FillTrayRecord(record, dialog, id, icon, tipNumber);
    return Shell_NotifyIconA(action, &record);
}

void AddTrayIcons(HWND dialog) {
    BOOL added;
    RenderGpuIcon(Gpu1, NoReading);
    if (Monitor.DualGpu) {
        RenderGpuIcon(Gpu2, NoReading);
        added = TrayNotify(dialog, NIM_ADD, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], 1);
        if (added)
            added = TrayNotify(dialog, NIM_ADD, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
    } else {
        DestroyGpuIcon(Gpu2);
        added = TrayNotify(dialog, NIM_ADD, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], 0);
    }
    if (!added && Monitor.HiddenToTray) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        Monitor.HiddenToTray = 0;
    }
}

void ReplaceGpuIcon(HWND dialog, int gpu, std::uint32_t t) {
    if (gpu != 1 && gpu != 2)
        return;
    const int slot = gpu - 1;
    RenderGpuIcon(slot, t);
    if (slot == Gpu1)
        TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], FirstEntryTip());
    else
        TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
    // Kept even when the shell refused: the entry is redrawn only when the value changes again.
    Monitor.ShownTemperature[slot] = t;
}

void SyncSecondIcon(HWND dialog) {
    if (Monitor.GpuCount >= 2 && !Monitor.DualGpu) {
        RenderGpuIcon(Gpu2, Monitor.ShownTemperature[Gpu2]);
        TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], 1);
        TrayNotify(dialog, NIM_ADD, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
        Monitor.DualGpu = true;
    } else if (Monitor.GpuCount < 2 && Monitor.DualGpu) {
        TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], 0);
        TrayNotify(dialog, NIM_DELETE, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
        DestroyGpuIcon(Gpu2);
        Monitor.DualGpu = false;
    }
}

void RerenderTrayIcons(HWND dialog) {
    RenderGpuIcon(Gpu1, Monitor.ShownTemperature[Gpu1]);
    TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], FirstEntryTip());
    if (Monitor.DualGpu) {
        RenderGpuIcon(Gpu2, Monitor.ShownTemperature[Gpu2]);
        TrayNotify(dialog, NIM_MODIFY, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
    }
}

void RemoveTrayIcons(HWND dialog) {
    TrayNotify(dialog, NIM_DELETE, TRAY_ID_GPU1, Monitor.GpuIcon[Gpu1], FirstEntryTip());
    if (Monitor.DualGpu)
        TrayNotify(dialog, NIM_DELETE, TRAY_ID_GPU2, Monitor.GpuIcon[Gpu2], 2);
    DestroyGpuIcon(Gpu1);
    DestroyGpuIcon(Gpu2);
}

void OnTrayNotify(HWND dialog, WPARAM wParam, LPARAM lParam) {
    const bool press = lParam == WM_LBUTTONDOWN || lParam == WM_RBUTTONDOWN;
    const bool ourEntry = wParam == TRAY_ID_GPU1 || wParam == TRAY_ID_GPU2;
    if (!press || !ourEntry)
        return;
    if (Monitor.HiddenToTray) {
        ShowWindow(dialog, SW_SHOW);
        Monitor.HiddenToTray = 0;
    }
    SetForegroundWindow(dialog);
}
