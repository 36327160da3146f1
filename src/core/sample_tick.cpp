#include "core/sample_tick.h"

#include "app/localized.h"
#include "core/gpu_monitor.h"
#include "core/history.h"
#include "core/sample_rules.h"
#include "resource.h"
#include "sensors/thermal_reading.h"
#include "ui/main_dialog.h"
#include "ui/tray_icons.h"

namespace {

void ReadGpu(int gpu, TickReadings& readings) {
    readings.Reading[gpu] = {0, 0, 0};
    readings.Status[gpu] = ReadGpuThermal(Monitor.GpuHandles[gpu], readings.Reading[gpu]);
}

// Brings the window up, then shows the one warning box. Ticks go on inside the box's message
// loop, and a temperature that re-arms the latch and returns would otherwise open a box inside
// the box, again and again, until the stack runs out.
void ShowAlert(HWND dialog) {
    if (Monitor.AlertBoxOpen)
        return;
    Monitor.AlertBoxOpen = 1;
    if (Monitor.HiddenToTray) {
        ShowWindow(dialog, SW_SHOW);
        Monitor.HiddenToTray = 0;
    }
    SetForegroundWindow(dialog);
    char text[MessageCapacity];
    LoadLocalizedString(IDS_ALERT, text);
    MessageBoxA(dialog, text, AppTitle, MB_ICONERROR | MB_SETFOREGROUND);
    Monitor.AlertBoxOpen = 0;
}

} // namespace

void SampleTick(HWND dialog, bool advanceHistory) {
    TickReadings readings = {Monitor.DualGpu, {0, 0}, {}};
    ReadGpu(0, readings);
    if (Monitor.DualGpu)
        ReadGpu(1, readings);
    TickValues values = FoldTickReadings(readings);

    Monitor.PeakTemperature = RaisePeakWithCores(Monitor.PeakTemperature, values);
    Monitor.AmbientTemperature = values.Ambient;
    Monitor.LimitTemperature = values.Limit;
    if (advanceHistory)
        AdvanceHistory(values.Core[0], values.Core[1]);

    if (values.Core[0] != Monitor.ShownTemperature[0])
        ReplaceGpuIcon(dialog, 1, values.Core[0]);
    if (Monitor.DualGpu && values.Core[1] != Monitor.ShownTemperature[1])
        ReplaceGpuIcon(dialog, 2, values.Core[1]);

    if (IsWindowVisible(dialog))
        RepaintGraph(dialog);

    // The latch is set before the box opens: ticks that arrive while it is open find it set. One
    // that re-arms it and returns sets it again but finds the box still open (ShowAlert).
    AlertStep alert =
        ApplyAlertRule(values.CombinedCore, Monitor.AlertThreshold, Monitor.AlertLatch);
    Monitor.AlertLatch = alert.Latch;
    if (alert.ShowAlert)
        ShowAlert(dialog);
}

void StartSampling(HWND dialog) {
    SetTimer(dialog, IDT_SAMPLE, Monitor.Interval * 1000, nullptr);
    PostExtraSample(dialog);
}

void PostExtraSample(HWND dialog) {
    PostMessageA(dialog, WM_TIMER, IDT_SAMPLE, 0);
}
