// What the notification-area host (Wine's explorer) shows, read from outside the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Waits (up to timeoutMs) until the tray host's window exists; false when it never came up.
bool WaitForTrayHost(DWORD timeoutMs = 30000);

// One notification-area entry as the host shows it: its tooltip text and the screen area of
// its cell (the host draws the entry's icon centred in it).
struct TrayEntryView {
    std::string Tip;
    RECT Area;
};

// Every notification-area entry the host currently shows, of any program. The host keeps one
// tooltip tool per entry in a tooltip control of its own process; each tool's record and text
// are read through a buffer placed in that process, and the tool's rectangle (or the window
// it stands for) gives the entry's cell.
std::vector<TrayEntryView> TrayEntries();

// The tooltip texts of TrayEntries().
std::vector<std::string> TrayTooltips();
