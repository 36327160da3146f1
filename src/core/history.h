// The two temperature histories in GpuMonitor, and their file.
#pragma once

#include <windows.h>

#include <cstdint>

// Reads the history file; a missing, unreadable or short file gives empty traces. Sets the
// peak from both traces.
void LoadHistoryFile();

// Adds one sample to each trace; trace 2 gets a missing sample while one GPU is monitored.
void AdvanceHistory(std::uint32_t gpu1Core, std::uint32_t gpu2Core);

// Writes both traces. The file is replaced only by a complete new one, so a failed save leaves
// the previous file as it was. True when the new file is in place.
bool SaveHistoryFile();

// Clears the histories down to their newest samples before the interval changes, asking the
// user first when there are three or more unbroken samples. False when the user declined.
bool ResetHistoryForInterval(HWND owner);
