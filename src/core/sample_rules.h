// The decisions of one sampling step: each GPU's core value, the combined value the alert
// tests, the graph's ambient and limit, and the one-shot alert with its re-arm level.
#pragma once

#include <cstdint>

#include "core/monitor_types.h"

// What the driver answered for the monitored GPUs; GPU 2 only counts when DualGpu is set.
struct TickReadings {
    bool DualGpu;
    std::int32_t Status[MonitoredGpus]; // 0 = success
    ThermalReading Reading[MonitoredGpus];
};

struct TickValues {
    std::uint32_t Core[MonitoredGpus]; // NoReading for a failed (or unmonitored) GPU
    std::uint32_t CombinedCore;        // the hotter valid core, NoReading when none
    std::uint32_t Ambient;             // the larger ambient, a failed GPU counting 0
    std::uint32_t Limit;               // the larger limit, a failed GPU counting 0
};

TickValues FoldTickReadings(const TickReadings& readings);

// Highest valid core value seen so far, raised by both GPUs of a step.
std::uint32_t RaisePeakWithCores(std::uint32_t peak, const TickValues& values);

struct AlertStep {
    std::uint32_t Latch;
    bool ShowAlert;
};

// At or above the threshold an unlatched alert fires and latches; below threshold - 2
// (unsigned, wrapping) the latch re-arms; a missing value changes nothing.
AlertStep ApplyAlertRule(std::uint32_t combinedCore, std::uint32_t threshold, std::uint32_t latch);
