#include "support/tray_host.h"

#include <commctrl.h>

#include <cstring>

namespace {

constexpr char TrayHostClass[] = "Shell_TrayWnd";

struct TooltipSearch {
    DWORD HostProcess;
    std::vector<HWND> Tooltips;
};

BOOL CALLBACK CollectTooltip(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TooltipSearch*>(param);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->HostProcess && lstrcmpiA(className, TOOLTIPS_CLASSA) == 0)
        search->Tooltips.push_back(window);
    return TRUE;
}

// The screen area of a tool: the window it stands for, or its rectangle in the client area of
// the window it belongs to.
RECT ToolArea(const TTTOOLINFOA& tool) {
    RECT area = {};
    if (tool.uFlags & TTF_IDISHWND) {
        GetWindowRect(reinterpret_cast<HWND>(tool.uId), &area);
    } else {
        area = tool.rect;
        MapWindowPoints(tool.hwnd, nullptr, reinterpret_cast<POINT*>(&area), 2);
    }
    return area;
}

// One tool: the tool record and the text buffer live in the host's memory, since the tooltip
// control writes through the pointers it is given.
TrayEntryView ReadTool(HANDLE host, char* remote, HWND tooltip, int index) {
    constexpr std::size_t TextOffset = 512;
    constexpr std::size_t TextSize = 512;
    TrayEntryView entry = {};
    TTTOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    if (!WriteProcessMemory(host, remote, &tool, sizeof tool, nullptr))
        return entry;
    if (!SendMessageA(tooltip, TTM_ENUMTOOLSA, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(remote)))
        return entry;
    if (!ReadProcessMemory(host, remote, &tool, sizeof tool, nullptr))
        return entry;
    entry.Area = ToolArea(tool);
    char text[TextSize] = {};
    tool.lpszText = remote + TextOffset;
    WriteProcessMemory(host, remote, &tool, sizeof tool, nullptr);
    WriteProcessMemory(host, remote + TextOffset, text, sizeof text, nullptr);
    SendMessageA(tooltip, TTM_GETTEXTA, TextSize, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(host, remote + TextOffset, text, sizeof text - 1, nullptr);
    entry.Tip.assign(text, strnlen(text, sizeof text - 1));
    return entry;
}

} // namespace

bool WaitForTrayHost(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!FindWindowA(TrayHostClass, nullptr)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

std::vector<TrayEntryView> TrayEntries() {
    std::vector<TrayEntryView> entries;
    HWND trayHost = FindWindowA(TrayHostClass, nullptr);
    if (!trayHost)
        return entries;
    TooltipSearch search = {};
    GetWindowThreadProcessId(trayHost, &search.HostProcess);
    EnumWindows(CollectTooltip, reinterpret_cast<LPARAM>(&search));

    HANDLE host = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                              search.HostProcess);
    if (!host)
        return entries;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(host, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (remote) {
        for (HWND tooltip : search.Tooltips) {
            const int count = static_cast<int>(SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0));
            for (int index = 0; index < count; ++index)
                entries.push_back(ReadTool(host, remote, tooltip, index));
        }
        VirtualFreeEx(host, remote, 0, MEM_RELEASE);
    }
    CloseHandle(host);
    return entries;
}

std::vector<std::string> TrayTooltips() {
    std::vector<std::string> tips;
    for (const TrayEntryView& entry : TrayEntries())
        tips.push_back(entry.Tip);
    return tips;
}
