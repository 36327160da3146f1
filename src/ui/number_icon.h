// The small icon that shows one temperature in the user's icon font and colour.
#pragma once

#include <windows.h>

#include <cstdint>

// Draws value (degrees Celsius; 255 = no reading, drawn as "?") as a small icon of the
// system's small-icon size: the digits in IconColor on a transparent background. Reads
// IconFont and IconColor only. The caller owns the icon (DestroyIcon); null on failure.
HICON RenderNumberIcon(std::uint8_t value);
