// One sampling step: read the GPUs, keep the peak and the graph values, advance the histories
// (timer ticks only), update the tray numbers, repaint the graph and apply the alert rule.
#pragma once

#include <windows.h>

void SampleTick(HWND dialog, bool advanceHistory);

// Starts the sampling timer and takes the first sample as soon as the message loop runs.
void StartSampling(HWND dialog);

// Asks for one extra sample (advancing the histories) once the current message is handled.
void PostExtraSample(HWND dialog);
