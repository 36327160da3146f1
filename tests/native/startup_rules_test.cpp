#include <gtest/gtest.h>

#include "app/startup_rules.h"

namespace {

TEST(StartupRules, DefaultThresholdIsTheLowerReportedLimit) {
    EXPECT_EQ(AlertThresholdFromLimits(90, true, 85), 85u);
    EXPECT_EQ(AlertThresholdFromLimits(85, true, 90), 85u);
    EXPECT_EQ(AlertThresholdFromLimits(90, false, 85), 90u); // GPU 2 not read
    EXPECT_EQ(AlertThresholdFromLimits(90, true, 0), 90u);   // GPU 2 without a limit
    // Without a limit of GPU 1 the default is 100, whatever GPU 2 reports.
    EXPECT_EQ(AlertThresholdFromLimits(0, true, 85), 100u);
    EXPECT_EQ(AlertThresholdFromLimits(0, false, 0), 100u);
}

TEST(StartupRules, VendorCheck) {
    EXPECT_TRUE(AdapterIdPassesVendorCheck("PCI\\VEN_10DE&DEV_1B80&SUBSYS_00000000&REV_A1"));
    EXPECT_TRUE(AdapterIdPassesVendorCheck(""));
    EXPECT_FALSE(AdapterIdPassesVendorCheck("PCI\\VEN_0000&DEV_0000&SUBSYS_00000000&REV_00"));
    EXPECT_FALSE(AdapterIdPassesVendorCheck("PCI\\ven_10de&DEV_1B80")); // case matters
}

} // namespace
