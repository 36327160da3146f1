// Folding the driver's thermal sensors into one reading.
#pragma once

#include "core/monitor_types.h"
#include "sensors/driver_records.h"

// Core: hottest GPU sensor; ambient: hottest board sensor; limit: lowest default maximum of
// the GPU sensors, 0 when there is none. Only the first three entries exist in the record,
// so a larger count reads no further; a count of 0 or below reads none.
ThermalReading FoldThermalSensors(const NvThermalSettings& record);
