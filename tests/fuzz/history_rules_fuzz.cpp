// Any 512-byte history file loads into traces whose peak, count and reset keep their rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/history_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HistoryTrace traces[2];
    ClearTrace(traces[0]);
    ClearTrace(traces[1]);
    std::memcpy(traces, data, size < sizeof traces ? size : sizeof traces);

    std::uint32_t peak = PeakOfTraces(traces[0], traces[1]);
    if (peak >= NoReadingByte)
        std::abort();
    int count = CountUnbrokenSamples(traces[0]);
    if (count < 0 || count > HistoryLength || (count < HistoryLength && traces[0][count] != 255))
        std::abort();

    // Advancing with the remaining input keeps the trace length and drops the oldest sample.
    std::uint8_t oldestButOne = traces[0][HistoryLength - 2];
    AdvanceTrace(traces[0], size > 512 ? data[512] : NoReading);
    if (traces[0][HistoryLength - 1] != oldestButOne)
        std::abort();

    KeepNewestSample(traces[1]);
    if (CountUnbrokenSamples(traces[1]) > 1)
        std::abort();
    return 0;
}
