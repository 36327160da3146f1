// Run-time binding to the driver API library. Every driver function the program calls goes
// through InterfaceTable; an entry the library does not provide answers UnresolvedStatus and
// touches none of its arguments.
#pragma once

#include "sensors/driver_records.h"

// -4 until the table fill begins, -3 from then on.
extern NvStatus UnresolvedStatus;
// Set once the table fill has run to its end.
extern bool DriverApiBound;

// Loads nvapi64.dll from the system folder, initialises it and fills the table.
// 0 on success (or when already bound), -2 when the library cannot be loaded, -1 when its
// query export, its initialise function or the initialisation itself fails.
NvStatus BindDriverApi();

// Forwarding entry points: each calls its table entry and returns the status unchanged.
NvStatus NvAPI_GetErrorMessage(NvStatus status, char* text);
NvStatus NvAPI_GetDisplayDriverVersion(NvDisplayHandle display, NvDisplayDriverVersion* version);
NvStatus NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvDisplayHandle* display);
NvStatus NvAPI_GetPhysicalGPUsFromDisplay(NvDisplayHandle display, NvPhysicalGpuHandle* gpus,
                                          std::uint32_t* count);
NvStatus NvAPI_GPU_GetFullName(NvPhysicalGpuHandle gpu, char* name);
NvStatus NvAPI_GPU_GetThermalSettings(NvPhysicalGpuHandle gpu, std::int32_t sensorIndex,
                                      NvThermalSettings* settings);
