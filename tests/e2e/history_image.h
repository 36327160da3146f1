// The history file as the end-to-end tests expect it: 512 bytes, trace 1 then trace 2, newest
// sample first, built from the readings the simulated driver's call log recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using HistoryBytes = std::vector<std::uint8_t>;

inline constexpr std::size_t HistoryImageSize = 512;
inline constexpr std::size_t TraceLength = 256;
inline constexpr std::uint8_t NoReadingByte = 255;

inline HistoryBytes EmptyHistory() {
    return HistoryBytes(HistoryImageSize, NoReadingByte);
}

// History bytes with every position distinct from its neighbours and no NoReading byte.
inline HistoryBytes PatternHistory(std::size_t size = HistoryImageSize) {
    HistoryBytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i % 200);
    }
    return bytes;
}

// The image after one sample: both traces move one place back and take the new values at
// index 0.
inline HistoryBytes Advanced(const HistoryBytes& image, std::uint8_t gpu1,
                             std::uint8_t gpu2 = NoReadingByte) {
    HistoryBytes next(HistoryImageSize);
    for (std::size_t trace = 0; trace < 2; ++trace) {
        const std::size_t base = trace * TraceLength;
        next[base] = trace == 0 ? gpu1 : gpu2;
        for (std::size_t i = 1; i < TraceLength; ++i) {
            next[base + i] = image[base + i - 1];
        }
    }
    return next;
}

// Compares two history images and names the first byte that differs instead of printing both.
inline testing::AssertionResult SameHistory(const HistoryBytes& actual,
                                            const HistoryBytes& expected) {
    if (actual.size() != expected.size()) {
        return testing::AssertionFailure()
               << "the file holds " << actual.size() << " bytes, not " << expected.size();
    }
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            return testing::AssertionFailure()
                   << "trace " << (i / TraceLength + 1) << " index " << (i % TraceLength)
                   << " holds " << int{actual[i]} << ", expected " << int{expected[i]};
        }
    }
    return testing::AssertionSuccess();
}

// One thermal query as the simulated driver's call log records it:
// "NvAPI_GPU_GetThermalSettings gpu=1 status=0 core=50".
struct LoggedReading {
    int Gpu = 0;
    int Status = 0;
    unsigned Core = 0;
};

// Parses a call-log line; false for a line of another function.
inline bool ParseThermalLine(const std::string& line, LoggedReading* reading) {
    LoggedReading parsed;
    const int fields =
        std::sscanf(line.c_str(), "NvAPI_GPU_GetThermalSettings gpu=%d status=%d core=%u",
                    &parsed.Gpu, &parsed.Status, &parsed.Core);
    if (fields < 2) {
        return false;
    }
    *reading = parsed;
    return true;
}

// The thermal queries of one GPU in the order the program made them.
inline std::vector<LoggedReading> LoggedReadingsOf(const std::vector<std::string>& log, int gpu) {
    std::vector<LoggedReading> readings;
    for (const std::string& line : log) {
        LoggedReading reading;
        if (ParseThermalLine(line, &reading) && reading.Gpu == gpu) {
            readings.push_back(reading);
        }
    }
    return readings;
}

// The byte a sample stores for a reading: the core's low eight bits, NoReading for a failure.
inline std::uint8_t HistoryByteOf(const LoggedReading& reading) {
    return reading.Status == 0 ? static_cast<std::uint8_t>(reading.Core) : NoReadingByte;
}
