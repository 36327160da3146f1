// Defaults and clamps of the settings file's values. Integers arrive as the 32-bit value the
// platform's INI reader gives (GetPrivateProfileIntA returns it unsigned); each rule turns that
// into the value the program keeps.
#pragma once

#include <cstdint>

#include "core/monitor_types.h"

inline constexpr std::uint32_t DefaultInterval = 60;
inline constexpr std::int32_t DefaultFontHeight = -11;
inline constexpr std::int32_t DefaultFontWeight = 400; // FW_NORMAL
inline constexpr std::uint8_t DefaultFontItalic = 0;
inline constexpr std::uint8_t DefaultPitchAndFamily = 34; // VARIABLE_PITCH | FF_SWISS
inline constexpr char DefaultFaceName[] = "Arial";
// The face name is read into a buffer of this size, so at most 30 characters are kept.
inline constexpr int FaceNameReadCapacity = 31;
// The highest alert threshold kept from the file; NoReading (no threshold) is kept as well.
inline constexpr std::uint32_t MaxAlertThreshold = 250;

// 4 to 60 seconds stay; anything else, negative numbers included, gives 60.
std::uint32_t IntervalFromFile(std::uint32_t stored);

// 0 to 250 and NoReading stay; anything else gives the fallback.
std::uint32_t AlertThresholdFromFile(std::uint32_t stored, std::uint32_t fallback);

// The stored 32-bit pattern as a signed number: 4294967280 is -16.
std::int32_t SignedFromFile(std::uint32_t stored);

// Only the low eight bits count: 256 gives 0.
std::uint8_t ByteFromFile(std::uint32_t stored);

// A colour 0x00BBGGRR: the top byte is cleared.
std::uint32_t ColorFromFile(std::uint32_t stored);
