// Finding the GPUs behind the first NVIDIA display, with the driver version and the GPU name.
#pragma once

#include <windows.h>

#include "sensors/driver_records.h"

// The start-up run. False after a failed physical-GPU query, whose driver text (when the
// driver gives one) has been shown in an error box without owner.
bool DiscoverGpus();

// The run on a display change: keeps the old version text when the driver gives none, asks
// for the name only when there is a GPU, and reports a failure in a warning box owned by owner.
bool RediscoverGpus(HWND owner);

// The GPU information box. Always true.
bool ShowGpuInfo(HWND owner);

// Shows the driver's text for status in a box captioned with the GPU name, but only when the
// driver can give that text.
void ShowDriverError(HWND owner, NvStatus status, UINT iconType);
