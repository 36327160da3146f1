#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>

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

// The settings and the history must never end up as one file: a folder too long for a name
// leaves that path empty instead of cutting "Kelvane.ini" and "Kelvane.dat" to "Kelvane.".
TEST(StartupRules, DataFilePathsAreWholeOrEmpty) {
    char path[260];
    std::string folder = "C:\\Users\\a\\AppData\\Roaming\\Ostrel-Tools\\Kelvane\\";
    ASSERT_TRUE(DataFilePath(path, sizeof path, folder.c_str(), "Kelvane.dat"));
    EXPECT_EQ(std::string(path), folder + "Kelvane.dat");

    std::string deep(259 - 11, 'x'); // the longest folder that still takes an 11-character name
    ASSERT_TRUE(DataFilePath(path, sizeof path, deep.c_str(), "Kelvane.ini"));
    EXPECT_EQ(std::strlen(path), 259u);

    deep += 'x';
    std::memset(path, 'z', sizeof path);
    EXPECT_FALSE(DataFilePath(path, sizeof path, deep.c_str(), "Kelvane.ini"));
    EXPECT_STREQ(path, "");

    // No data folder: never a bare name, which would be read and written in the current folder.
    std::memset(path, 'z', sizeof path);
    EXPECT_FALSE(DataFilePath(path, sizeof path, "", "Kelvane.ini"));
    EXPECT_STREQ(path, "");
}

TEST(StartupRules, WideDataFolderGrowsByWholeFoldersOnly) {
    wchar_t path[24] = L"C:\\Users\\\u0141\u6587";
    ASSERT_TRUE(AppendWideFolder(path, 24, "Ostrel"));
    EXPECT_EQ(std::wstring(path), L"C:\\Users\\\u0141\u6587\\Ostrel");
    wchar_t root[24] = L"C:\\";
    ASSERT_TRUE(AppendWideFolder(root, 24, "Kelvane")); // no second backslash
    EXPECT_EQ(std::wstring(root), L"C:\\Kelvane");

    // 18 characters now: one more folder of up to four letters fits a 24-character buffer.
    EXPECT_FALSE(AppendWideFolder(path, 24, "Kelva"));
    EXPECT_EQ(std::wstring(path), L"C:\\Users\\\u0141\u6587\\Ostrel");
    EXPECT_TRUE(AppendWideFolder(path, 24, "Kelv"));
    EXPECT_EQ(std::wcslen(path), 23u);
}

} // namespace
