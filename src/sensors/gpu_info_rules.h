// Texts about the discovered GPU: the driver version and the information box.
#pragma once

#include <cstddef>
#include <cstdint>

// Driver version numbers above this one can tell the GPU's full name.
inline constexpr std::uint32_t NewestDriverWithoutFullName = 9209;

// "%u.%02u" of version / 100 and version % 100, as the driver's releases are named: 27505 gives
// "275.05", 56603 gives "566.03".
void FormatDriverVersion(char* text, std::size_t capacity, std::uint32_t version);

// The information box: "GPU: " and the name ("?" for the default name), then, when a driver
// version is known, a second line with it. Cut off at capacity - 1 characters.
void BuildGpuInfoText(char* text, std::size_t capacity, const char* gpuName,
                      const char* driverVersionText, bool germanUi);
