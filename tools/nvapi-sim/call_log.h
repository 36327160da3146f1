// The optional call log of the simulated driver: when NVAPI_SIM_LOG names a file, every call
// appends one line to it at once, so a test can count the driver calls a program made.
#pragma once

#include <cstdint>

// One line: "<function> gpu=<n> status=<s>", with " core=<c>" when core is not null. gpu is 0
// for calls that concern no particular GPU.
void LogCall(const char* function, std::uint32_t gpu, std::int32_t status,
             const std::uint32_t* core = nullptr);

// "nvapi_QueryInterface id=0x<id> found=<0|1>".
void LogQuery(std::uint32_t id, bool found);
