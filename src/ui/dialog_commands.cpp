#include "ui/dialog_commands.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "app/settings_file.h"
#include "core/gpu_monitor.h"
#include "core/history.h"
#include "resource.h"
#include "sensors/gpu_discovery.h"
#include "ui/main_dialog.h"
#include "ui/tray_icons.h"

namespace {

constexpr char AboutText[] = "Ostrel-Tools Kelvane\r\n"
                             "Version 2.1\r\n"
                             "Copyright \xA9 2026 Ostrel-Tools\r\n"
                             "Written by the Kelvane developers";

// Disables Apply; when it had the focus, the focus moves on to OK first.
void SettleApplyButton(HWND dialog) {
    HWND apply = GetDlgItem(dialog, IDC_APPLY);
    if (apply == nullptr || !IsWindowEnabled(apply))
        return;
    HWND ok = GetDlgItem(dialog, IDOK);
    if (GetFocus() == apply && ok != nullptr)
        PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
    EnableWindow(apply, FALSE);
}

void ApplyInterval(HWND dialog) {
    HWND trackbar = GetDlgItem(dialog, IDC_INTERVAL);
    if (trackbar == nullptr)
        return;
    LRESULT position = SendMessageA(trackbar, TBM_GETPOS, 0, 0);
    if (position < MinInterval || position > MaxInterval ||
        static_cast<std::uint32_t>(position) == Monitor.Interval)
        return;
    if (!ResetHistoryForInterval(dialog)) {
        SendMessageA(trackbar, TBM_SETPOS, TRUE, Monitor.Interval);
        return;
    }
    auto interval = static_cast<std::uint32_t>(position);
    // The next sample comes one full new period later.
    if (KillTimer(dialog, IDT_SAMPLE))
        SetTimer(dialog, IDT_SAMPLE, interval * 1000, nullptr);
    Monitor.Interval = interval;
    RepaintGraph(dialog);
    WriteInterval(interval);
}

// An empty box, or one that holds no number, means no threshold.
void ApplyThreshold(HWND dialog) {
    if (GetDlgItem(dialog, IDC_THRESHOLD) == nullptr)
        return;
    BOOL translated = FALSE;
    UINT value = GetDlgItemInt(dialog, IDC_THRESHOLD, &translated, FALSE);
    std::uint32_t threshold = translated ? value : NoReading;
    if (threshold == Monitor.AlertThreshold)
        return;
    Monitor.AlertThreshold = threshold;
    Monitor.AlertLatch = 0;
    WriteAlertThreshold(threshold);
}

using ChooseFontFunction = BOOL(WINAPI*)(LPCHOOSEFONTA);

// The chooser's library is loaded the first time the chooser opens, not with the program: on some
// systems it brings the printing libraries along, which would cost memory for the whole run of a
// program that sits in the tray.
ChooseFontFunction FontChooser() {
    static ChooseFontFunction chooser = nullptr;
    if (chooser == nullptr) {
        HMODULE library = LoadLibraryExA("comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library != nullptr)
            chooser = reinterpret_cast<ChooseFontFunction>(
                reinterpret_cast<void*>(GetProcAddress(library, "ChooseFontA")));
    }
    return chooser;
}

} // namespace

void ApplyPendingChanges(HWND dialog, WORD command) {
    SettleApplyButton(dialog);
    ApplyInterval(dialog);
    ApplyThreshold(dialog);
    if (command == IDOK) {
        ShowWindow(dialog, SW_HIDE);
        Monitor.HiddenToTray = 1;
    }
}

void ChooseIconFont(HWND dialog) {
    // The chooser works on a copy, so a cancelled choice cannot touch the icon font.
    LOGFONTA font = Monitor.IconFont;
    CHOOSEFONTA choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.hInstance = Monitor.AppInstance;
    choice.lpLogFont = &font;
    choice.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_NOVECTORFONTS |
                   CF_LIMITSIZE | CF_FORCEFONTEXIST;
    choice.rgbColors = Monitor.IconColor;
    choice.nFontType = SCREEN_FONTTYPE;
    choice.nSizeMin = 2;
    choice.nSizeMax = 16;
    ChooseFontFunction chooseFont = FontChooser();
    if (chooseFont == nullptr || !chooseFont(&choice))
        return;
    Monitor.IconFont = font;
    Monitor.IconFont.lfQuality = NONANTIALIASED_QUALITY;
    Monitor.IconColor = choice.rgbColors;
    RerenderTrayIcons(dialog);
    WriteIconFontSettings();
}

void SaveNow() {
    WriteChangedShowDetails();
    Monitor.ShowDetails = Monitor.DetailsShown != 0;
    if (SaveHistoryFile())
        MessageBeep(MB_ICONASTERISK);
}

void OpenDisplaySettings(HWND dialog) {
    // The system's own panel by its full path: a bare name is looked for in the current folder
    // first, where a planted file of that name would be run instead.
    char panel[MAX_PATH];
    UINT length = GetSystemDirectoryA(panel, sizeof panel);
    if (length == 0 || length >= sizeof panel || !PathAppendA(panel, "desk.cpl"))
        return;
    HINSTANCE result = ShellExecuteA(dialog, nullptr, panel, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<UINT_PTR>(result) > 32) {
        ShowWindow(dialog, SW_HIDE);
        Monitor.HiddenToTray = 1;
    }
}

void ShowHelp(HWND dialog, const HELPINFO* help) {
    // Only one help box at a time: F1 inside a box reaches this dialog again.
    if (Monitor.HelpBoxOpen)
        return;
    Monitor.HelpBoxOpen = 1;
    if (help != nullptr && help->iCtrlId == IDC_GRAPH)
        ShowGpuInfo(dialog);
    else
        MessageBoxA(dialog, AboutText, AppTitle, MB_ICONINFORMATION);
    Monitor.HelpBoxOpen = 0;
}
