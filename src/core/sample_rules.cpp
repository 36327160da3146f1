#include "core/sample_rules.h"

#include "core/history_rules.h"

namespace {

std::uint32_t Larger(std::uint32_t a, std::uint32_t b) {
    return a > b ? a : b;
}

} // namespace

TickValues FoldTickReadings(const TickReadings& readings) {
    TickValues values = {{NoReading, NoReading}, NoReading, 0, 0};
    const int gpus = readings.DualGpu ? 2 : 1;
    for (int gpu = 0; gpu < gpus; ++gpu) {
        if (readings.Status[gpu] != 0)
            continue; // a failed read contributes no core and zeros for ambient and limit
        const ThermalReading& reading = readings.Reading[gpu];
        values.Core[gpu] = reading.Core;
        values.Ambient = Larger(values.Ambient, reading.Ambient);
        values.Limit = Larger(values.Limit, reading.Limit);
    }
    if (values.Core[0] == NoReading)
        values.CombinedCore = values.Core[1];
    else if (values.Core[1] == NoReading)
        values.CombinedCore = values.Core[0];
    else
        values.CombinedCore = Larger(values.Core[0], values.Core[1]);
    return values;
}

std::uint32_t RaisePeakWithCores(std::uint32_t peak, const TickValues& values) {
    return RaisePeak(RaisePeak(peak, values.Core[0]), values.Core[1]);
}

AlertStep ApplyAlertRule(std::uint32_t combinedCore, std::uint32_t threshold, std::uint32_t latch) {
    if (combinedCore == NoReading)
        return {latch, false};
    if (combinedCore >= threshold)
        return latch != 0 ? AlertStep{latch, false} : AlertStep{1, true};
    if (combinedCore < threshold - 2)
        return {0, false};
    return {latch, false};
}
