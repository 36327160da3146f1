// The steps of start-up before the main dialog exists.
#pragma once

#include <windows.h>

// Looks for a running instance's window by both of its classes; shows and fronts it when found.
bool FrontRunningInstance();

// Checks that the primary display adapter is an NVIDIA one, asking Abort/Retry/Ignore when it
// is not. Sets GpuName to the adapter's name. False when start-up is to end.
bool CheckAdapterVendor();

// Binds the driver library, explaining a failure in a box. False when start-up is to end.
bool BindDriverOrExplain();

// Takes the first readings: decides DualGpu and the default alert threshold.
void LearnTemperatureLimit();

// Registers the program's window class. False when that failed.
bool RegisterDialogClass();

// Creates the data folder when missing and builds SettingsPath and HistoryPath: through the
// folder's short form when the ANSI code page cannot spell its long one, empty when neither can.
void ResolveDataFolder();
