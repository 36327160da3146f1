#include "sensors/thermal_reading.h"

#include "sensors/driver_api.h"
#include "sensors/thermal_rules.h"

NvStatus ReadGpuThermal(NvPhysicalGpuHandle gpu, ThermalReading& reading) {
    NvThermalSettings record = {};
    record.Version = NvThermalSettingsVersion;
    NvStatus status = NvAPI_GPU_GetThermalSettings(gpu, NvAllThermalSensors, &record);
    if (status != NvOk)
        return status;
    reading = FoldThermalSensors(record);
    return NvOk;
}
