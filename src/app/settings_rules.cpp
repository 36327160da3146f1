#include "app/settings_rules.h"

std::uint32_t IntervalFromFile(std::uint32_t stored) {
    constexpr std::uint32_t shortest = 4;
    constexpr std::uint32_t longest = 60;
    return stored >= shortest && stored <= longest ? stored : DefaultInterval;
}

std::uint32_t AlertThresholdFromFile(std::uint32_t stored, std::uint32_t fallback) {
    return stored <= MaxAlertThreshold || stored == NoReading ? stored : fallback;
}

std::int32_t SignedFromFile(std::uint32_t stored) {
    return static_cast<std::int32_t>(stored); // two's complement, defined since C++20
}

std::uint8_t ByteFromFile(std::uint32_t stored) {
    return static_cast<std::uint8_t>(stored & 0xFFu);
}

std::uint32_t ColorFromFile(std::uint32_t stored) {
    return stored & 0x00FFFFFFu;
}
