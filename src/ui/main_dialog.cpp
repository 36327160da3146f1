#include "ui/main_dialog.h"

#include <commctrl.h>

#include "app/settings_file.h"
#include "core/gpu_monitor.h"
#include "core/history.h"
#include "core/sample_tick.h"
#include "resource.h"
#include "sensors/gpu_discovery.h"
#include "ui/dialog_commands.h"
#include "ui/history_graph.h"
#include "ui/tray_icons.h"

namespace {

void InitIntervalTrackbar(HWND dialog) {
    HWND trackbar = GetDlgItem(dialog, IDC_INTERVAL);
    if (trackbar == nullptr)
        return;
    // Arrow keys move by 4 s, Page Up and Down by 8 s; the mouse reaches every second.
    SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELONG(MinInterval, MaxInterval));
    SendMessageA(trackbar, TBM_SETTICFREQ, 8, 0);
    SendMessageA(trackbar, TBM_SETLINESIZE, 0, 4);
    SendMessageA(trackbar, TBM_SETPAGESIZE, 0, 8);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, Monitor.Interval);
}

// The up-down writes its position into the box, so the position is set first: a box cleared
// for "no threshold" must stay empty, or the next Apply would store a threshold of 0.
void InitThresholdBox(HWND dialog) {
    HWND spin = GetDlgItem(dialog, IDC_THRESHOLD_SPIN);
    bool none = Monitor.AlertThreshold == NoReading;
    if (spin != nullptr) {
        SendMessageA(spin, UDM_SETBASE, 10, 0);
        SendMessageA(spin, UDM_SETRANGE, 0, MAKELONG(250, 0));
        SendMessageA(spin, UDM_SETPOS, 0, MAKELONG(none ? 0 : Monitor.AlertThreshold, 0));
    }
    if (none)
        SetDlgItemTextA(dialog, IDC_THRESHOLD, "");
    else
        SetDlgItemInt(dialog, IDC_THRESHOLD, Monitor.AlertThreshold, FALSE);
    SendDlgItemMessageA(dialog, IDC_THRESHOLD, EM_LIMITTEXT, 3, 0);
}

void InitMainDialog(HWND dialog) {
    LoadHistoryFile();
    if (Monitor.RunHidden)
        Monitor.HiddenToTray = 1;
    Monitor.DetailsShown = Monitor.ShowDetails ? 1 : 0;
    SetWindowTextA(dialog, AppTitle);
    SnapGraphSize(dialog);
    InitIntervalTrackbar(dialog);
    InitThresholdBox(dialog);
    // Setting the box's text enabled Apply; the dialog opens with nothing pending.
    if (HWND apply = GetDlgItem(dialog, IDC_APPLY))
        EnableWindow(apply, FALSE);
    if (Monitor.SmallAppIcon != nullptr)
        PostMessageA(dialog, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(Monitor.SmallAppIcon));
    PostMessageA(
        dialog, WM_SETICON, ICON_BIG,
        reinterpret_cast<LPARAM>(LoadIconA(Monitor.AppInstance, MAKEINTRESOURCEA(IDI_APP))));
    AddTrayIcons(dialog);
    StartSampling(dialog);
}

void SaveDetailsAndHistory() {
    WriteChangedShowDetails();
    SaveHistoryFile();
}

// The only way the program ends: stop sampling, save, leave the notification area, destroy.
void CloseMonitor(HWND dialog) {
    KillTimer(dialog, IDT_SAMPLE);
    SaveDetailsAndHistory();
    RemoveTrayIcons(dialog);
    DestroyWindow(dialog);
}

void OnDisplayChange(HWND dialog) {
    RediscoverGpus(dialog);
    SyncSecondIcon(dialog);
    PostExtraSample(dialog);
}

bool IsControl(HWND dialog, int id, HWND window) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && control == window;
}

void OnCommand(HWND dialog, WORD command, WORD notification) {
    switch (command) {
    case IDOK:
    case IDC_APPLY:
        ApplyPendingChanges(dialog, command);
        break;
    case IDCANCEL:
        CloseMonitor(dialog);
        break;
    case IDC_GRAPH:
        Monitor.DetailsShown ^= 1;
        RepaintGraph(dialog);
        break;
    case IDC_ICONFONT:
        ChooseIconFont(dialog);
        break;
    case IDC_THRESHOLD:
        if (notification == EN_CHANGE)
            EnableApply(dialog);
        break;
    case IDM_REFRESH:
        PostMessageA(dialog, WM_REFRESH_NOW, 0, 0);
        break;
    case IDM_SAVE:
        SaveNow();
        break;
    case IDM_DISPLAY_SETTINGS:
        OpenDisplaySettings(dialog);
        break;
    case IDM_GPU_INFO:
        ShowGpuInfo(dialog);
        break;
    default:
        break;
    }
}

} // namespace

void RepaintGraph(HWND dialog) {
    HWND graph = GetDlgItem(dialog, IDC_GRAPH);
    if (graph != nullptr && InvalidateRect(graph, nullptr, FALSE))
        UpdateWindow(graph);
}

void EnableApply(HWND dialog) {
    HWND apply = GetDlgItem(dialog, IDC_APPLY);
    if (apply != nullptr && !IsWindowEnabled(apply))
        EnableWindow(apply, TRUE);
}

void WriteChangedShowDetails() {
    if ((Monitor.DetailsShown != 0) != Monitor.ShowDetails)
        WriteShowDetails(Monitor.DetailsShown != 0);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitMainDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_TIMER:
        SampleTick(dialog, true);
        return FALSE;
    case WM_REFRESH_NOW:
        SampleTick(dialog, false);
        return FALSE;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(dialog, wParam, lParam);
        return FALSE;
    case WM_DRAWITEM:
        return DrawHistoryGraph(dialog, wParam, lParam);
    case WM_CTLCOLORBTN:
        return GraphButtonBrush(dialog, lParam);
    case WM_HSCROLL:
        if (IsControl(dialog, IDC_INTERVAL, reinterpret_cast<HWND>(lParam)))
            EnableApply(dialog);
        return FALSE;
    case WM_HELP:
        ShowHelp(dialog, reinterpret_cast<const HELPINFO*>(lParam));
        return TRUE;
    case WM_CONTEXTMENU:
        if (IsControl(dialog, IDC_GRAPH, reinterpret_cast<HWND>(wParam)))
            return ShowGpuInfo(dialog);
        return FALSE;
    case WM_DISPLAYCHANGE:
        OnDisplayChange(dialog);
        return FALSE;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMESUSPEND)
            PostExtraSample(dialog);
        return FALSE;
    case WM_SYSCOLORCHANGE:
        SendDlgItemMessageA(dialog, IDC_INTERVAL, message, wParam, lParam);
        SendDlgItemMessageA(dialog, IDC_THRESHOLD_SPIN, message, wParam, lParam);
        return FALSE;
    case WM_ENDSESSION:
        // The timer, the tray entries and the window are left to the system.
        if (wParam != 0)
            SaveDetailsAndHistory();
        return FALSE;
    case WM_CLOSE:
        CloseMonitor(dialog);
        return FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}
