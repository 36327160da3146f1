// The rules of the temperature histories: advancing, counting, clearing and the peak.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/monitor_types.h"

// Moves every sample one place older (dropping the oldest) and stores the low eight bits of
// value as the newest; NoReading becomes 255.
void AdvanceTrace(HistoryTrace& trace, std::uint32_t value);

// The highest byte other than 255 in both traces, 0 when there is none.
std::uint32_t PeakOfTraces(const HistoryTrace& trace1, const HistoryTrace& trace2);

// The number of samples from the newest up to, not including, the first missing one (0..256).
int CountUnbrokenSamples(const HistoryTrace& trace);

// Clears every sample but the newest.
void KeepNewestSample(HistoryTrace& trace);

// Marks every sample missing.
void ClearTrace(HistoryTrace& trace);

// Fewer unbroken samples than this are cleared on an interval change without asking.
inline constexpr int SamplesWorthAsking = 3;

// Raises peak to value when value is a reading above it.
std::uint32_t RaisePeak(std::uint32_t peak, std::uint32_t value);

// The name a new history file is written under before it replaces path: path with its last
// three characters replaced by "new" ("Kelvane.dat" becomes "Kelvane.new"), as long as path, so
// it fits wherever path fits. False when path is shorter than that or dest cannot hold it.
bool TemporarySiblingPath(char* dest, std::size_t capacity, const char* path);
