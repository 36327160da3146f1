// Start-up decisions that need no platform.
#pragma once

#include <cstddef>
#include <cstdint>

// The default alert threshold: GPU 1's limit, lowered to GPU 2's when that one was read and
// reported a lower nonzero limit; 100 when GPU 1 reported none.
std::uint32_t AlertThresholdFromLimits(std::uint32_t gpu1Limit, bool gpu2Read,
                                       std::uint32_t gpu2Limit);

// The display adapter passes the vendor check when its id is empty (no adapter found) or names
// the NVIDIA vendor id.
bool AdapterIdPassesVendorCheck(const char* deviceId);

// Puts folder followed by name into dest (capacity bytes with the terminator). When the whole
// name does not fit, dest is left empty rather than holding a cut name, which could name another
// file (a cut "Kelvane.ini" and a cut "Kelvane.dat" are the same file); false then. An empty
// folder means there is no data folder: dest is left empty too, never a name relative to the
// current folder.
bool DataFilePath(char* dest, std::size_t capacity, const char* folder, const char* name);

// Appends a backslash unless path ends with one, then the ASCII name: path grows by one folder
// (capacity wide characters with the terminator). False, and path unchanged, when the result
// would not fit.
bool AppendWideFolder(wchar_t* path, std::size_t capacity, const char* name);
