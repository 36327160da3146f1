#include "core/history_rules.h"

#include <cstring>

void AdvanceTrace(HistoryTrace& trace, std::uint32_t value) {
    std::memmove(trace.data() + 1, trace.data(), HistoryLength - 1);
    trace[0] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint32_t PeakOfTraces(const HistoryTrace& trace1, const HistoryTrace& trace2) {
    std::uint32_t peak = 0;
    for (int i = 0; i < HistoryLength; ++i) {
        if (trace1[i] != NoReadingByte && trace1[i] > peak)
            peak = trace1[i];
        if (trace2[i] != NoReadingByte && trace2[i] > peak)
            peak = trace2[i];
    }
    return peak;
}

int CountUnbrokenSamples(const HistoryTrace& trace) {
    int count = 0;
    while (count < HistoryLength && trace[count] != NoReadingByte)
        ++count;
    return count;
}

void KeepNewestSample(HistoryTrace& trace) {
    std::uint8_t newest = trace[0];
    ClearTrace(trace);
    trace[0] = newest;
}

void ClearTrace(HistoryTrace& trace) {
    trace.fill(NoReadingByte);
}

std::uint32_t RaisePeak(std::uint32_t peak, std::uint32_t value) {
    return value != NoReading && value > peak ? value : peak;
}

bool TemporarySiblingPath(char* dest, std::size_t capacity, const char* path) {
    static constexpr char Extension[] = "new";
    constexpr std::size_t ExtensionLength = sizeof Extension - 1;
    std::size_t length = std::strlen(path);
    if (length < ExtensionLength || length >= capacity)
        return false;
    std::memcpy(dest, path, length - ExtensionLength);
    std::memcpy(dest + length - ExtensionLength, Extension, sizeof Extension);
    return true;
}
