#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sensors/gpu_info_rules.h"
#include "sensors/thermal_rules.h"

namespace {

NvThermalSettings Record(std::int32_t count, std::initializer_list<NvThermalSensor> sensors) {
    NvThermalSettings record = {};
    record.Version = NvThermalSettingsVersion;
    record.Count = static_cast<std::uint32_t>(count);
    int slot = 0;
    for (const NvThermalSensor& sensor : sensors)
        record.Sensor[slot++] = sensor;
    return record;
}

// controller, default min, default max, current, target
constexpr NvThermalSensor Gpu(std::uint32_t current, std::uint32_t max) {
    return {1, 0, max, current, NvThermalTargetGpu};
}
constexpr NvThermalSensor Board(std::uint32_t current) {
    return {2, 0, 0, current, NvThermalTargetBoard};
}

void ExpectReading(const ThermalReading& reading, std::uint32_t core, std::uint32_t ambient,
                   std::uint32_t limit) {
    EXPECT_EQ(reading.Core, core);
    EXPECT_EQ(reading.Ambient, ambient);
    EXPECT_EQ(reading.Limit, limit);
}

TEST(ThermalFold, HottestGpuSensorLowestLimitHottestBoard) {
    ExpectReading(FoldThermalSensors(Record(3, {Gpu(55, 95), Gpu(61, 90), Board(38)})), 61, 38, 90);
    // Order does not matter, and other targets are ignored.
    NvThermalSensor memory = {3, 0, 70, 99, 2};
    ExpectReading(FoldThermalSensors(Record(3, {memory, Board(38), Gpu(61, 90)})), 61, 38, 90);
}

TEST(ThermalFold, MissingSensorsGiveZeros) {
    ExpectReading(FoldThermalSensors(Record(1, {Board(40)})), 0, 40, 0);
    ExpectReading(FoldThermalSensors(Record(0, {Gpu(61, 90)})), 0, 0, 0);
    ExpectReading(FoldThermalSensors(Record(-1, {Gpu(61, 90)})), 0, 0, 0);
    ExpectReading(FoldThermalSensors(Record(INT32_MIN, {Gpu(61, 90)})), 0, 0, 0);
    // A default maximum of 0 is a limit of 0 (no limit).
    ExpectReading(FoldThermalSensors(Record(2, {Gpu(50, 0), Gpu(40, 95)})), 50, 0, 0);
}

TEST(ThermalFold, CountOnlyLimitsTheEntriesRead) {
    // Entries beyond the count are ignored even when filled in.
    ExpectReading(FoldThermalSensors(Record(1, {Gpu(50, 95), Gpu(70, 80)})), 50, 0, 95);
    // A count above three reads the three entries of the record and nothing behind it.
    ExpectReading(FoldThermalSensors(Record(4, {Gpu(50, 95), Gpu(70, 80), Board(33)})), 70, 33, 80);
    ExpectReading(FoldThermalSensors(Record(INT32_MAX, {Gpu(50, 95)})), 50, 0, 95);
}

TEST(ThermalFold, ComparesUnsigned) {
    // 0xFFFFFFF0 is a huge temperature, not a negative one.
    ExpectReading(FoldThermalSensors(Record(2, {Gpu(0xFFFFFFF0u, 0xFFFFFFFEu), Gpu(20, 100)})),
                  0xFFFFFFF0u, 0, 100);
}

std::string Version(std::uint32_t number) {
    char text[64];
    FormatDriverVersion(text, sizeof text, number);
    return text;
}

TEST(DriverVersionText, RemainderHasTwoDigitsAsTheReleaseIsNamed) {
    EXPECT_EQ(Version(275 * 100 + 5), "275.05");
    EXPECT_EQ(Version(260 * 100 + 21), "260.21");
    EXPECT_EQ(Version(56603), "566.03");
    EXPECT_EQ(Version(9210), "92.10");
    EXPECT_EQ(Version(9209), "92.09");
    EXPECT_EQ(Version(53100), "531.00");
    EXPECT_EQ(Version(7), "0.07");
    EXPECT_EQ(Version(0xFFFFFFFFu), "42949672.95");
}

std::string Info(const char* name, const char* version, bool german) {
    char text[256];
    BuildGpuInfoText(text, sizeof text, name, version, german);
    return text;
}

TEST(GpuInfoText, LinesInBothLanguages) {
    EXPECT_EQ(Info("Kelvane", "", false), "GPU: ?");
    EXPECT_EQ(Info("kelvane", "", false), "GPU: kelvane");
    EXPECT_EQ(Info("Kelvane X", "", false), "GPU: Kelvane X");
    EXPECT_EQ(Info("GeForce 9", "275.05", false), "GPU: GeForce 9\r\nDriver version: 275.05");
    EXPECT_EQ(Info("GeForce 9", "275.05", true), "GPU: GeForce 9\r\nTreiberversion: 275.05");
}

TEST(GpuInfoText, CutAt255Characters) {
    std::string name(127, 'N');
    std::string version(63, '9');
    char text[256];
    std::memset(text, 'x', sizeof text);
    BuildGpuInfoText(text, sizeof text, name.c_str(), version.c_str(), false);
    std::string expected = "GPU: " + name + "\r\nDriver version: " + version;
    ASSERT_LT(expected.size(), 255u); // the longest real text fits...
    EXPECT_EQ(std::string(text), expected);
    // ...and a smaller buffer cuts it, always terminated.
    char small[20];
    BuildGpuInfoText(small, sizeof small, name.c_str(), version.c_str(), true);
    EXPECT_EQ(std::string(small), "GPU: NNNNNNNNNNNNNN");
}

} // namespace
