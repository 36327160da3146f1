// The settings file through the platform's own INI functions, in a folder of this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/settings_file.h"
#include "core/gpu_monitor.h"

namespace {

constexpr std::uint32_t LearnedLimit = 87; // AlertThresholdDefault of these tests

class SettingsFile : public testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH] = "";
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        folder = std::string(temp) + "kelvane-settings-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        path = folder + "\\Kelvane.ini";
        DeleteFileA(path.c_str());
        ASSERT_LT(path.size(), sizeof Monitor.SettingsPath);
        lstrcpynA(Monitor.SettingsPath, path.c_str(), sizeof Monitor.SettingsPath);
        Monitor.AlertThresholdDefault = LearnedLimit;
    }
    void TearDown() override {
        DeleteFileA(path.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    // Stores a raw value text the way a user editing the file would leave it.
    void Store(const char* key, const char* text) const {
        ASSERT_TRUE(WritePrivateProfileStringA("Settings", key, text, path.c_str()));
    }

    std::string FileText() const {
        std::string text;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            char chunk[512];
            for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
                text.append(chunk, n);
            std::fclose(file);
        }
        return text;
    }

    std::string folder;
    std::string path;
};

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
    // Fields hold other values first, so each default has to be written by LoadSettings.
    Monitor.RunHidden = Monitor.ShowDetails = true;
    Monitor.Interval = 5;
    Monitor.AlertThreshold = 1;
    std::memset(&Monitor.IconFont, 0x5A, sizeof Monitor.IconFont);
    Monitor.IconColor = 0x12345678;

    LoadSettings();

    EXPECT_FALSE(Monitor.RunHidden);
    EXPECT_FALSE(Monitor.ShowDetails);
    EXPECT_EQ(Monitor.Interval, 60u);
    EXPECT_EQ(Monitor.AlertThreshold, LearnedLimit);
    EXPECT_EQ(Monitor.IconColor, GetSysColor(COLOR_BTNTEXT));
    LOGFONTA expected = {};
    expected.lfHeight = -11;
    expected.lfWeight = 400;
    expected.lfPitchAndFamily = 34;
    expected.lfQuality = NONANTIALIASED_QUALITY;
    lstrcpyA(expected.lfFaceName, "Arial");
    EXPECT_EQ(std::memcmp(&Monitor.IconFont, &expected, sizeof expected), 0);
    // Reading creates no file.
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsFile, IntervalOutsideFourToSixtyGivesSixty) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"3", 60}, {"61", 60}, {"0", 60},  {"-5", 60},
        {"4", 4},  {"60", 60}, {"17", 17}, {"fast", 60}, // no number: 0, then the fallback
    };
    for (const auto& [text, expected] : cases) {
        Store("Interval", text);
        LoadSettings();
        EXPECT_EQ(Monitor.Interval, expected) << text;
    }
}

TEST_F(SettingsFile, AlertThresholdKeepsRangeAndNoThreshold) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"250", 250},          {"251", LearnedLimit},
        {"999", LearnedLimit}, {"4294967295", 0xFFFFFFFF}, // no threshold survives a restart
        {"-1", 0xFFFFFFFF},    {"0", 0},
    };
    for (const auto& [text, expected] : cases) {
        Store("AlertThreshold", text);
        LoadSettings();
        EXPECT_EQ(Monitor.AlertThreshold, expected) << text;
    }
}

TEST_F(SettingsFile, FontAndColorKeysAsStored) {
    Store("Height", "-16");
    Store("Weight", "700");
    Store("Italic", "256");
    Store("PitchAndFamily", "305"); // 0x131: the low byte is 49
    Store("FaceName", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn");
    Store("IconColor", "4294967295");
    LoadSettings();
    EXPECT_EQ(Monitor.IconFont.lfHeight, -16);
    EXPECT_EQ(Monitor.IconFont.lfWeight, 700);
    EXPECT_EQ(Monitor.IconFont.lfItalic, 0);
    EXPECT_EQ(Monitor.IconFont.lfPitchAndFamily, 49);
    EXPECT_STREQ(Monitor.IconFont.lfFaceName, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcd");
    EXPECT_EQ(Monitor.IconFont.lfQuality, NONANTIALIASED_QUALITY);
    EXPECT_EQ(Monitor.IconColor, 0x00FFFFFFu);

    // Values that begin with no number read as 0; these keys have no fallback.
    Store("Height", "big");
    Store("Italic", "yes");
    Store("IconColor", "red");
    LoadSettings();
    EXPECT_EQ(Monitor.IconFont.lfHeight, 0);
    EXPECT_EQ(Monitor.IconFont.lfItalic, 0);
    EXPECT_EQ(Monitor.IconColor, 0u);
}

TEST_F(SettingsFile, FlagsAreTrueWhenNonzero) {
    Store("RunHidden", "2");
    Store("ShowDetails", "0");
    LoadSettings();
    EXPECT_TRUE(Monitor.RunHidden);
    EXPECT_FALSE(Monitor.ShowDetails);
    Store("RunHidden", "0");
    Store("ShowDetails", "-1");
    LoadSettings();
    EXPECT_FALSE(Monitor.RunHidden);
    EXPECT_TRUE(Monitor.ShowDetails);
}

TEST_F(SettingsFile, SingleKeyWritesReadBack) {
    WriteRunHidden();
    WriteShowDetails(true);
    WriteInterval(17);
    WriteAlertThreshold(0xFFFFFFFF);
    EXPECT_EQ(FileText(), "[Settings]\r\n"
                          "RunHidden=1\r\n"
                          "ShowDetails=1\r\n"
                          "Interval=17\r\n"
                          "AlertThreshold=4294967295\r\n");
    LoadSettings();
    EXPECT_TRUE(Monitor.RunHidden);
    EXPECT_TRUE(Monitor.ShowDetails);
    EXPECT_EQ(Monitor.Interval, 17u);
    EXPECT_EQ(Monitor.AlertThreshold, 0xFFFFFFFFu);

    // A key written again keeps its place and takes the new text.
    WriteShowDetails(false);
    WriteAlertThreshold(95);
    EXPECT_EQ(FileText(), "[Settings]\r\n"
                          "RunHidden=1\r\n"
                          "ShowDetails=0\r\n"
                          "Interval=17\r\n"
                          "AlertThreshold=95\r\n");
}

TEST_F(SettingsFile, IconFontSettingsWriteSixKeysInOrder) {
    LOGFONTA font = {};
    font.lfHeight = -16;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfUnderline = 1; // chosen in the font chooser, but not kept in the file
    font.lfCharSet = 238;
    font.lfPitchAndFamily = 49;
    font.lfQuality = NONANTIALIASED_QUALITY;
    lstrcpyA(font.lfFaceName, "Courier New");
    Monitor.IconFont = font;
    Monitor.IconColor = 0x0000FF00;

    WriteIconFontSettings();

    EXPECT_EQ(FileText(), "[Settings]\r\n"
                          "IconColor=65280\r\n"
                          "Height=-16\r\n"
                          "Weight=700\r\n"
                          "Italic=1\r\n"
                          "PitchAndFamily=49\r\n"
                          "FaceName=Courier New\r\n");
    LoadSettings();
    EXPECT_EQ(Monitor.IconFont.lfHeight, -16);
    EXPECT_EQ(Monitor.IconFont.lfWeight, 700);
    EXPECT_EQ(Monitor.IconFont.lfItalic, 1);
    EXPECT_EQ(Monitor.IconFont.lfUnderline, 0);
    EXPECT_EQ(Monitor.IconFont.lfCharSet, 0);
    EXPECT_EQ(Monitor.IconFont.lfPitchAndFamily, 49);
    EXPECT_STREQ(Monitor.IconFont.lfFaceName, "Courier New");
    EXPECT_EQ(Monitor.IconColor, 0x0000FF00u);
}

} // namespace
