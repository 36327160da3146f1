#include <gtest/gtest.h>

#include <string>

#include "core/sample_rules.h"

namespace {

constexpr std::int32_t Failed = -5;

TickReadings Single(std::int32_t status, ThermalReading reading) {
    return {false, {status, 0}, {reading, {}}};
}

TickReadings Dual(std::int32_t status1, ThermalReading reading1, std::int32_t status2,
                  ThermalReading reading2) {
    return {true, {status1, status2}, {reading1, reading2}};
}

TEST(TickFold, SingleGpu) {
    TickValues ok = FoldTickReadings(Single(0, {61, 38, 90}));
    EXPECT_EQ(ok.Core[0], 61u);
    EXPECT_EQ(ok.Core[1], NoReading);
    EXPECT_EQ(ok.CombinedCore, 61u);
    EXPECT_EQ(ok.Ambient, 38u);
    EXPECT_EQ(ok.Limit, 90u);
    // A failed read takes the GPU out and sets ambient and limit to 0, whatever the reading
    // held before.
    TickValues failed = FoldTickReadings(Single(Failed, {61, 38, 90}));
    EXPECT_EQ(failed.Core[0], NoReading);
    EXPECT_EQ(failed.CombinedCore, NoReading);
    EXPECT_EQ(failed.Ambient, 0u);
    EXPECT_EQ(failed.Limit, 0u);
    // A successful read with no GPU sensor is a valid 0 degrees.
    EXPECT_EQ(FoldTickReadings(Single(0, {0, 0, 0})).CombinedCore, 0u);
    // GPU 2's slot is ignored while one GPU is monitored.
    TickReadings stale = Single(0, {50, 0, 0});
    stale.Reading[1] = {99, 99, 99};
    EXPECT_EQ(FoldTickReadings(stale).CombinedCore, 50u);
    EXPECT_EQ(FoldTickReadings(stale).Limit, 0u);
}

TEST(TickFold, TwoGpusCombineTheHotterValidOne) {
    EXPECT_EQ(FoldTickReadings(Dual(0, {65, 0, 0}, 0, {82, 0, 0})).CombinedCore, 82u);
    EXPECT_EQ(FoldTickReadings(Dual(0, {82, 0, 0}, 0, {65, 0, 0})).CombinedCore, 82u);
    TickValues gpu1Failed = FoldTickReadings(Dual(Failed, {99, 0, 0}, 0, {70, 0, 0}));
    EXPECT_EQ(gpu1Failed.Core[0], NoReading);
    EXPECT_EQ(gpu1Failed.Core[1], 70u);
    EXPECT_EQ(gpu1Failed.CombinedCore, 70u);
    EXPECT_EQ(FoldTickReadings(Dual(0, {70, 0, 0}, Failed, {99, 0, 0})).CombinedCore, 70u);
    EXPECT_EQ(FoldTickReadings(Dual(Failed, {}, Failed, {})).CombinedCore, NoReading);
}

TEST(TickFold, TwoGpusShowTheLargerAmbientAndLimit) {
    TickValues values = FoldTickReadings(Dual(0, {60, 40, 88}, 0, {60, 0, 0}));
    EXPECT_EQ(values.Ambient, 40u);
    EXPECT_EQ(values.Limit, 88u);
    EXPECT_EQ(FoldTickReadings(Dual(0, {60, 0, 88}, 0, {60, 0, 93})).Limit, 93u);
    // A failed GPU contributes 0, not whatever its reading held.
    EXPECT_EQ(FoldTickReadings(Dual(0, {60, 30, 88}, Failed, {60, 50, 99})).Limit, 88u);
    EXPECT_EQ(FoldTickReadings(Dual(0, {60, 30, 88}, Failed, {60, 50, 99})).Ambient, 30u);
}

TEST(TickFold, PeakRisesWithEitherGpu) {
    EXPECT_EQ(RaisePeakWithCores(50, FoldTickReadings(Dual(0, {45, 0, 0}, 0, {71, 0, 0}))), 71u);
    EXPECT_EQ(RaisePeakWithCores(80, FoldTickReadings(Dual(0, {45, 0, 0}, 0, {71, 0, 0}))), 80u);
    EXPECT_EQ(RaisePeakWithCores(50, FoldTickReadings(Dual(Failed, {}, Failed, {}))), 50u);
}

// Runs a sequence of combined values through the alert rule and returns where alerts fired.
std::string AlertPattern(std::uint32_t threshold, std::initializer_list<std::uint32_t> values) {
    std::uint32_t latch = 0;
    std::string pattern;
    for (std::uint32_t value : values) {
        AlertStep step = ApplyAlertRule(value, threshold, latch);
        latch = step.Latch;
        pattern += step.ShowAlert ? 'A' : '.';
    }
    return pattern;
}

TEST(AlertRule, HysteresisTwoDegreesBelowTheThreshold) {
    // 82 alerts; 79 and 78 keep the latch (78 is not below 80 - 2); 77 re-arms; 80 alerts again.
    EXPECT_EQ(AlertPattern(80, {82, 79, 78, 81, 77, 80, 85}), "A....A.");
    // Equality alerts.
    EXPECT_EQ(AlertPattern(80, {80}), "A");
    // A missing value neither alerts nor re-arms.
    EXPECT_EQ(AlertPattern(80, {85, NoReading, 85, 70, NoReading, 85}), "A....A");
}

TEST(AlertRule, NoThresholdNeverAlerts) {
    EXPECT_EQ(AlertPattern(NoReading, {0, 100, 250, 0xFFFFFFFEu}), "....");
    EXPECT_EQ(ApplyAlertRule(50, NoReading, 1).Latch, 0u); // and clears a latch
}

TEST(AlertRule, ThresholdsZeroAndOneWrap) {
    // Threshold 0: every value is at or above it, so the latch never re-arms.
    EXPECT_EQ(AlertPattern(0, {0, 50, 0, 90}), "A...");
    // Threshold 1: the re-arm level wraps to 4294967295, so 0 re-arms.
    EXPECT_EQ(AlertPattern(1, {1, 0, 1, 5}), "A.A.");
    // Threshold 2: the re-arm level is 0, which nothing is below.
    EXPECT_EQ(AlertPattern(2, {2, 0, 2}), "A..");
}

} // namespace
