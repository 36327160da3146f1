// The notification-area entries: one number icon per monitored GPU, entry TRAY_ID_GPU1 for
// GPU 1 (or the only GPU) and TRAY_ID_GPU2 for GPU 2 while DualGpu is set. The icons handed to
// the shell are owned here (GpuIcon) and destroyed before they are replaced.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

// Fills the whole shell record for entry id of the dialog: callback WM_TRAY_NOTIFY, the tip
// (tip number 0: GpuName, otherwise "GPU n"), and the icon when there is one.
void FillTrayRecord(NOTIFYICONDATAA& record, HWND dialog, UINT id, HICON icon, unsigned tipNumber);

// Hands one entry to the shell (NIM_ADD, NIM_MODIFY or NIM_DELETE); the shell's result.
BOOL TrayNotify(HWND dialog, DWORD action, UINT id, HICON icon, unsigned tipNumber);

// Adds the entries showing "?". When that fails while the dialog is hidden to the tray, the
// dialog is shown, since it could not be reached otherwise.
void AddTrayIcons(HWND dialog);

// Shows temperature t on the entry of GPU gpu (1 or 2) and remembers it as ShownTemperature,
// whether or not the shell took the new icon.
void ReplaceGpuIcon(HWND dialog, int gpu, std::uint32_t t);

// Adds or removes the second entry when GpuCount no longer matches DualGpu.
void SyncSecondIcon(HWND dialog);

// Draws the entries again from ShownTemperature, after the icon font or colour changed.
void RerenderTrayIcons(HWND dialog);

// Deletes the entries and destroys both icons.
void RemoveTrayIcons(HWND dialog);

// WM_TRAY_NOTIFY: a left or right button press on either entry brings the dialog back.
void OnTrayNotify(HWND dialog, WPARAM wParam, LPARAM lParam);
