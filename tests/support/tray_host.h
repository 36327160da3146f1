// What the notification-area host (Wine's explorer) shows, read from outside the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Waits (up to timeoutMs) until the tray host's window exists; false when it never came up.
bool WaitForTrayHost(DWORD timeoutMs = 30000);

// The tooltip texts of every notification-area entry the host currently shows, of any
// program. The host keeps one tooltip tool per entry in a tooltip control of its own process;
// their texts are read through a buffer placed in that process.
std::vector<std::string> TrayTooltips();
