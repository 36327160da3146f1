// Any 68 bytes a driver might return fold without reading outside the record, and the result
// keeps its promises: no limit above a GPU sensor's maximum, and a 0 limit only when none of
// the examined GPU sensors reported one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sensors/thermal_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    NvThermalSettings record = {};
    std::memcpy(&record, data, size < sizeof record ? size : sizeof record);
    ThermalReading reading = FoldThermalSensors(record);

    std::int32_t count = static_cast<std::int32_t>(record.Count);
    int examined = count < 0 ? 0 : (count > NvThermalSensorSlots ? NvThermalSensorSlots : count);
    for (int i = 0; i < examined; ++i) {
        const NvThermalSensor& sensor = record.Sensor[i];
        if (sensor.Target == NvThermalTargetGpu &&
            (sensor.CurrentTemp > reading.Core ||
             (reading.Limit != 0 && sensor.DefaultMaxTemp < reading.Limit)))
            std::abort();
        if (sensor.Target == NvThermalTargetBoard && sensor.CurrentTemp > reading.Ambient)
            std::abort();
    }
    return 0;
}
