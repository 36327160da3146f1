// Plain values shared by the monitor's rules; nothing here needs windows.h.
#pragma once

#include <array>
#include <cstdint>

// A missing temperature: every 32-bit temperature uses this value, a history byte uses 255.
inline constexpr std::uint32_t NoReading = 0xFFFFFFFFu;
inline constexpr std::uint8_t NoReadingByte = 0xFF;

// One GPU's samples, index 0 newest, index 255 oldest; 255 = NoReading.
inline constexpr int HistoryLength = 256;
using HistoryTrace = std::array<std::uint8_t, HistoryLength>;

// Core, ambient and limit temperature of one GPU in whole degrees Celsius; ambient and limit
// are 0 when the driver reports none.
struct ThermalReading {
    std::uint32_t Core;
    std::uint32_t Ambient;
    std::uint32_t Limit;
};

// The program watches at most two GPUs: index 0 is GPU 1, index 1 is GPU 2.
inline constexpr int MonitoredGpus = 2;

// Bounds of every text the program builds.
inline constexpr int NameCapacity = 128;
inline constexpr int PathCapacity = 260;
inline constexpr int MessageCapacity = 256;
