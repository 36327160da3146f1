#include "sensors/thermal_rules.h"

ThermalReading FoldThermalSensors(const NvThermalSettings& record) {
    ThermalReading reading = {0, 0, NoReading};
    std::int32_t count = static_cast<std::int32_t>(record.Count);
    if (count > NvThermalSensorSlots)
        count = NvThermalSensorSlots;
    for (std::int32_t i = 0; i < count; ++i) {
        const NvThermalSensor& sensor = record.Sensor[i];
        if (sensor.Target == NvThermalTargetGpu) {
            if (sensor.CurrentTemp > reading.Core)
                reading.Core = sensor.CurrentTemp;
            if (sensor.DefaultMaxTemp < reading.Limit)
                reading.Limit = sensor.DefaultMaxTemp;
        } else if (sensor.Target == NvThermalTargetBoard) {
            if (sensor.CurrentTemp > reading.Ambient)
                reading.Ambient = sensor.CurrentTemp;
        }
    }
    if (reading.Limit == NoReading)
        reading.Limit = 0;
    return reading;
}
