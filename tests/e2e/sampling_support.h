// Scenarios, settings and history images for the end-to-end tests of sampling and the tray:
// temperatures that step once per thermal reading, so the history file after close tells which
// readings became samples and in which order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "history_image.h"

inline constexpr std::uint8_t EmptyHistoryByte = 255;

// Start-up reads each GPU once before the first sample.
inline constexpr int StartupReadings = 1;

// The settings file with these "Key=value" lines in section Settings.
inline std::string SettingsText(std::initializer_list<const char*> lines) {
    std::string text = "[Settings]\r\n";
    for (const char* line : lines) {
        text += std::string(line) + "\r\n";
    }
    return text;
}

// A GPU's lines whose core temperature takes the listed values one thermal reading after the
// other ("50 51 52"; the last one repeats) and whose thermal query returns the listed statuses
// the same way ("0 0 -5": the third reading and every later one fail).
inline std::string SteppingGpu(int gpu, const char* name, const std::string& cores,
                               const std::string& statuses = "0") {
    const std::string prefix = "gpu" + std::to_string(gpu) + ".";
    return GpuScenario(gpu, name, 50, 90) + prefix + "core = " + cores + "\n" + prefix +
           "thermal.status = " + statuses + "\n";
}

inline std::string OneGpuScenario(const std::string& gpu1) {
    return std::string(DriverScenario) + "gpus = 1\ngpus.status = 0\n" + gpu1;
}

inline std::string TwoGpuScenario(const std::string& gpu1, const std::string& gpu2) {
    return std::string(DriverScenario) + "gpus = 2\ngpus.status = 0\n" + gpu1 + gpu2;
}

// The 512-byte history file whose traces start with these samples, newest first, and hold no
// reading behind them.
inline std::vector<std::uint8_t> HistoryImage(const std::vector<int>& trace1Newest,
                                              const std::vector<int>& trace2Newest = {}) {
    std::vector<std::uint8_t> image(512, EmptyHistoryByte);
    for (std::size_t i = 0; i < trace1Newest.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(trace1Newest[i]);
    }
    for (std::size_t i = 0; i < trace2Newest.size(); ++i) {
        image[256 + i] = static_cast<std::uint8_t>(trace2Newest[i]);
    }
    return image;
}

// Compares the history file with the expected image and names the first byte that differs.
inline testing::AssertionResult HistoryFileHolds(const std::vector<std::uint8_t>& expected) {
    bool exists = false;
    const std::vector<std::uint8_t> actual = ReadFileBytes(HistoryFilePath(), &exists);
    if (!exists) {
        return testing::AssertionFailure() << "no history file";
    }
    return SameHistory(actual, expected);
}

// Thermal readings of GPU 1 so far (start-up's included).
inline int Gpu1Readings() {
    return CountSimCalls(ThermalCall, 1);
}
