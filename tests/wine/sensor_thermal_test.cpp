// Thermal reading through the simulated driver library: the fold of what the driver writes,
// failures that leave the caller's reading alone, and the scenario answers changing from call
// to call, which the sampling and end-to-end tests build on.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/gpu_monitor.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_discovery.h"
#include "sensors/thermal_reading.h"
#include "support/sim_scenario.h"

namespace {

class ThermalReadingThroughDriver : public testing::Test {
  protected:
    // Binds with scenario and discovers its GPUs, so the handles come from the driver.
    void DiscoverWith(const std::string& scenario) {
        ASSERT_TRUE(WriteSimScenario(scenario));
        ASSERT_EQ(BindDriverApi(), NvOk);
        ASSERT_TRUE(DiscoverGpus());
    }

    static NvPhysicalGpuHandle Gpu(int number) { return Monitor.GpuHandles[number - 1]; }

    // The core temperature of the next read of GPU number; NoReading when it fails.
    static std::uint32_t NextCore(int number) {
        ThermalReading reading = {NoReading, 0, 0};
        ReadGpuThermal(Gpu(number), reading);
        return reading.Core;
    }
};

void ExpectReading(const ThermalReading& reading, std::uint32_t core, std::uint32_t ambient,
                   std::uint32_t limit) {
    EXPECT_EQ(reading.Core, core);
    EXPECT_EQ(reading.Ambient, ambient);
    EXPECT_EQ(reading.Limit, limit);
}

TEST_F(ThermalReadingThroughDriver, FoldsWhatTheDriverWrites) {
    DiscoverWith("gpus = 2\n"
                 "gpu1.sensors = 3\ngpu1.sensor1 = 1 55 95\ngpu1.sensor2 = 1 61 90\n"
                 "gpu1.sensor3 = 8 38 0\n"
                 "gpu2.sensors = 1\ngpu2.sensor1 = 8 40 0\n");
    ThermalReading reading = {7, 8, 9};
    EXPECT_EQ(ReadGpuThermal(Gpu(1), reading), NvOk);
    ExpectReading(reading, 61, 38, 90);
    EXPECT_EQ(ReadGpuThermal(Gpu(2), reading), NvOk);
    ExpectReading(reading, 0, 40, 0);
}

TEST_F(ThermalReadingThroughDriver, FailureLeavesTheReadingAlone) {
    DiscoverWith("gpus = 2\ngpu2.thermal.status = -1\n");
    ThermalReading reading = {7, 8, 9};
    EXPECT_EQ(ReadGpuThermal(Gpu(2), reading), NvError);
    ExpectReading(reading, 7, 8, 9);
    // A handle the driver never gave out.
    EXPECT_NE(ReadGpuThermal(nullptr, reading), NvOk);
    ExpectReading(reading, 7, 8, 9);
    EXPECT_EQ(ReadGpuThermal(Gpu(1), reading), NvOk);
    ExpectReading(reading, 45, 0, 95);
}

TEST_F(ThermalReadingThroughDriver, AnswersStepPerCallAndFollowTheReplacedFile) {
    DiscoverWith("gpus = 2\ngpu1.core = 50 55 60\ngpu2.core = 30 31\ngpu2.core.cycle = 1\n"
                 "gpu2.thermal.status = 0 0 -1 0\n");
    EXPECT_EQ(NextCore(1), 50u);
    EXPECT_EQ(NextCore(2), 30u); // every GPU steps on its own
    EXPECT_EQ(NextCore(1), 55u);
    EXPECT_EQ(NextCore(1), 60u);
    EXPECT_EQ(NextCore(1), 60u); // the last value repeats
    EXPECT_EQ(NextCore(2), 31u);
    EXPECT_EQ(NextCore(2), NoReading);
    EXPECT_EQ(NextCore(2), 31u); // a cycling list starts over: 30 31 30 31

    // The file is read on every call.
    ASSERT_TRUE(WriteSimScenario("gpus = 2\ngpu1.core.wave = 40 85 60\n"));
    std::uint32_t core = NextCore(1);
    EXPECT_GE(core, 40u);
    EXPECT_LE(core, 85u);
}

} // namespace
