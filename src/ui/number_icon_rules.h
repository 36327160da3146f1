// The text a number icon shows.
#pragma once

#include <cstddef>
#include <cstdint>

// The icon value that stands for a missing reading: the low byte of the 32-bit NoReading.
inline constexpr std::uint8_t UnreadIconValue = 0xFF;

// Writes "?" for UnreadIconValue; otherwise the decimal number, followed by the degree sign
// (byte 0xB0 of code page 1252) when withDegree is set. Cut off at capacity - 1 characters.
void FormatIconNumber(char* text, std::size_t capacity, std::uint8_t value, bool withDegree);
