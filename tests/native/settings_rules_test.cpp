#include <gtest/gtest.h>

#include "app/settings_rules.h"

namespace {

TEST(SettingsRules, IntervalKeepsFourToSixtySeconds) {
    EXPECT_EQ(IntervalFromFile(4), 4u);
    EXPECT_EQ(IntervalFromFile(17), 17u);
    EXPECT_EQ(IntervalFromFile(60), 60u);
    EXPECT_EQ(IntervalFromFile(3), DefaultInterval);
    EXPECT_EQ(IntervalFromFile(61), DefaultInterval);
    EXPECT_EQ(IntervalFromFile(0), DefaultInterval);
    // Negative numbers arrive as large unsigned values and are out of range too.
    EXPECT_EQ(IntervalFromFile(static_cast<std::uint32_t>(-5)), DefaultInterval);
    EXPECT_EQ(IntervalFromFile(0xFFFFFFFFu), DefaultInterval);
}

TEST(SettingsRules, AlertThresholdKeepsRangeAndNoThreshold) {
    constexpr std::uint32_t fallback = 93;
    EXPECT_EQ(AlertThresholdFromFile(0, fallback), 0u);
    EXPECT_EQ(AlertThresholdFromFile(250, fallback), 250u);
    EXPECT_EQ(AlertThresholdFromFile(NoReading, fallback), NoReading);
    EXPECT_EQ(AlertThresholdFromFile(251, fallback), fallback);
    EXPECT_EQ(AlertThresholdFromFile(999, fallback), fallback);
    EXPECT_EQ(AlertThresholdFromFile(0xFFFFFFFEu, fallback), fallback);
}

TEST(SettingsRules, FontNumbersKeepSignAndLowByte) {
    EXPECT_EQ(SignedFromFile(static_cast<std::uint32_t>(-16)), -16);
    EXPECT_EQ(SignedFromFile(700), 700);
    EXPECT_EQ(SignedFromFile(0x80000000u), INT32_MIN);
    EXPECT_EQ(ByteFromFile(256), 0);
    EXPECT_EQ(ByteFromFile(34), 34);
    EXPECT_EQ(ByteFromFile(0x1FFu), 0xFF);
    EXPECT_EQ(ByteFromFile(static_cast<std::uint32_t>(-1)), 0xFF);
}

TEST(SettingsRules, ColorLosesItsTopByte) {
    EXPECT_EQ(ColorFromFile(0xFFFFFFFFu), 0x00FFFFFFu);
    EXPECT_EQ(ColorFromFile(0x01123456u), 0x00123456u);
    EXPECT_EQ(ColorFromFile(0x000000FFu), 0x000000FFu);
}

} // namespace
