#pragma once

#include "core/monitor_types.h"
#include "sensors/driver_records.h"

// Reads all thermal sensors of one GPU. On status 0 all three members of reading are written;
// on failure reading is left exactly as it was and the driver's status is returned.
NvStatus ReadGpuThermal(NvPhysicalGpuHandle gpu, ThermalReading& reading);
