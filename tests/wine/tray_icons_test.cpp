#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "core/gpu_monitor.h"
#include "support/tray_host.h"
#include "ui/tray_icons.h"

namespace {

// A hidden stand-in for the main dialog: the entries' owner and the window a click shows.
class TrayIconsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WaitForTrayHost()) << "the notification-area host never came up";
        window = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 120, 80, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        // A name of this process alone, so that entries of other test processes cannot match.
        std::strcpy(Monitor.GpuName, ("Board " + std::to_string(GetCurrentProcessId())).c_str());
        LOGFONTA font = {};
        font.lfHeight = -8;
        font.lfQuality = NONANTIALIASED_QUALITY;
        Monitor.IconFont = font;
    }
    void TearDown() override {
        RemoveTrayIcons(window);
        DestroyWindow(window);
    }

    // Whether the shell holds an entry: a modification that names no member changes nothing
    // and succeeds only for an existing entry.
    bool EntryExists(UINT id) const {
        NOTIFYICONDATAA probe = {};
        probe.cbSize = sizeof probe;
        probe.hWnd = window;
        probe.uID = id;
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
    }

    static bool TrayShowsTip(const std::string& tip) {
        std::vector<std::string> tips = TrayTooltips();
        return std::find(tips.begin(), tips.end(), tip) != tips.end();
    }

    HWND window = nullptr;
};

bool IconAlive(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return false;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return true;
}

TEST(TrayRecord, FillsTheWholeRecord) {
    std::strcpy(Monitor.GpuName, "Board Name");
    HWND owner = reinterpret_cast<HWND>(0x1234);
    HICON icon = reinterpret_cast<HICON>(0x5678);
    NOTIFYICONDATAA record;
    std::memset(&record, 0xCC, sizeof record);

    FillTrayRecord(record, owner, TRAY_ID_GPU2, icon, 2);
    EXPECT_EQ(record.cbSize, 528u);
    EXPECT_EQ(record.hWnd, owner);
    EXPECT_EQ(record.uID, 4243u);
    EXPECT_EQ(record.uFlags, 7u);
    EXPECT_EQ(record.uCallbackMessage, 0x802Au);
    EXPECT_EQ(record.hIcon, icon);
    EXPECT_STREQ(record.szTip, "GPU 2");
    // Everything after the tip text, in the tip field and in the members behind it, is zero.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    const std::size_t tipEnd = offsetof(NOTIFYICONDATAA, szTip) + std::strlen(record.szTip);
    for (std::size_t i = tipEnd; i < sizeof record; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;

    FillTrayRecord(record, owner, TRAY_ID_GPU1, nullptr, 0);
    EXPECT_EQ(record.uID, 4242u);
    EXPECT_EQ(record.uFlags, 5u) << "no icon, no NIF_ICON";
    EXPECT_EQ(record.hIcon, nullptr);
    EXPECT_STREQ(record.szTip, "Board Name");

    FillTrayRecord(record, owner, TRAY_ID_GPU1, icon, 1);
    EXPECT_STREQ(record.szTip, "GPU 1");
}

TEST(TrayRecord, LongestNameFillsTheTip) {
    std::memset(Monitor.GpuName, 'n', sizeof Monitor.GpuName - 1);
    Monitor.GpuName[sizeof Monitor.GpuName - 1] = '\0';
    NOTIFYICONDATAA record;
    FillTrayRecord(record, nullptr, TRAY_ID_GPU1, nullptr, 0);
    EXPECT_EQ(std::string(record.szTip, strnlen(record.szTip, sizeof record.szTip)),
              std::string(Monitor.GpuName));
}

TEST_F(TrayIconsTest, OneGpuHasOneEntryNamedAfterIt) {
    Monitor.DualGpu = false;
    AddTrayIcons(window);
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU1));
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2));
    EXPECT_TRUE(TrayShowsTip(Monitor.GpuName));
    EXPECT_NE(Monitor.GpuIcon[0], nullptr);
    EXPECT_EQ(Monitor.GpuIcon[1], nullptr);
    EXPECT_EQ(Monitor.ShownTemperature[0], NoReading);

    HICON icon = Monitor.GpuIcon[0];
    RemoveTrayIcons(window);
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU1));
    EXPECT_FALSE(TrayShowsTip(Monitor.GpuName));
    EXPECT_EQ(Monitor.GpuIcon[0], nullptr);
    EXPECT_FALSE(IconAlive(icon));
}

TEST_F(TrayIconsTest, TwoGpusHaveNumberedEntries) {
    Monitor.DualGpu = true;
    AddTrayIcons(window);
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU1));
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU2));
    EXPECT_TRUE(TrayShowsTip("GPU 1"));
    EXPECT_TRUE(TrayShowsTip("GPU 2"));
    EXPECT_FALSE(TrayShowsTip(Monitor.GpuName));
    HICON icons[2] = {Monitor.GpuIcon[0], Monitor.GpuIcon[1]};
    EXPECT_NE(icons[0], nullptr);
    EXPECT_NE(icons[1], nullptr);

    RemoveTrayIcons(window);
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU1));
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2));
    EXPECT_EQ(Monitor.GpuIcon[0], nullptr);
    EXPECT_EQ(Monitor.GpuIcon[1], nullptr);
    EXPECT_FALSE(IconAlive(icons[0]));
    EXPECT_FALSE(IconAlive(icons[1]));
}

TEST_F(TrayIconsTest, ReplacingDestroysTheOldIconAndKeepsTheValue) {
    Monitor.DualGpu = false;
    AddTrayIcons(window);
    HICON first = Monitor.GpuIcon[0];
    ReplaceGpuIcon(window, 1, 61);
    EXPECT_FALSE(IconAlive(first));
    EXPECT_TRUE(IconAlive(Monitor.GpuIcon[0]));
    EXPECT_EQ(Monitor.ShownTemperature[0], 61u);
    EXPECT_TRUE(TrayShowsTip(Monitor.GpuName));

    // The whole 32-bit value is kept; the icon shows its low byte.
    ReplaceGpuIcon(window, 1, NoReading);
    EXPECT_EQ(Monitor.ShownTemperature[0], NoReading);
    EXPECT_TRUE(IconAlive(Monitor.GpuIcon[0]));

    // GPU 2 has no entry here, so the shell refuses; the value is remembered all the same.
    ReplaceGpuIcon(window, 2, 70);
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2));
    EXPECT_EQ(Monitor.ShownTemperature[1], 70u);
    HICON second = Monitor.GpuIcon[1];
    EXPECT_TRUE(IconAlive(second));
    ReplaceGpuIcon(window, 2, 71);
    EXPECT_FALSE(IconAlive(second));
    EXPECT_EQ(Monitor.ShownTemperature[1], 71u);
}

TEST_F(TrayIconsTest, SecondEntryFollowsTheGpuCount) {
    Monitor.DualGpu = false;
    Monitor.GpuCount = 1;
    AddTrayIcons(window);
    Monitor.ShownTemperature[1] = 55;

    SyncSecondIcon(window); // count unchanged: nothing happens
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2));
    EXPECT_FALSE(Monitor.DualGpu);

    Monitor.GpuCount = 2;
    SyncSecondIcon(window);
    EXPECT_TRUE(Monitor.DualGpu);
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU1));
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU2));
    EXPECT_FALSE(TrayShowsTip(Monitor.GpuName)) << "entry 4242 is now \"GPU 1\"";
    EXPECT_TRUE(TrayShowsTip("GPU 1"));
    EXPECT_TRUE(TrayShowsTip("GPU 2"));
    HICON second = Monitor.GpuIcon[1];
    EXPECT_TRUE(IconAlive(second));
    EXPECT_EQ(Monitor.ShownTemperature[1], 55u);

    Monitor.GpuCount = 1;
    SyncSecondIcon(window);
    EXPECT_FALSE(Monitor.DualGpu);
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU1));
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2));
    EXPECT_TRUE(TrayShowsTip(Monitor.GpuName));
    EXPECT_EQ(Monitor.GpuIcon[1], nullptr);
    EXPECT_FALSE(IconAlive(second));
}

TEST_F(TrayIconsTest, RerenderingReplacesBothIconsForTheShownValues) {
    Monitor.DualGpu = true;
    AddTrayIcons(window);
    ReplaceGpuIcon(window, 1, 48);
    ReplaceGpuIcon(window, 2, 52);
    HICON old[2] = {Monitor.GpuIcon[0], Monitor.GpuIcon[1]};
    Monitor.IconColor = RGB(255, 0, 0);

    RerenderTrayIcons(window);
    EXPECT_FALSE(IconAlive(old[0]));
    EXPECT_FALSE(IconAlive(old[1]));
    EXPECT_TRUE(IconAlive(Monitor.GpuIcon[0]));
    EXPECT_TRUE(IconAlive(Monitor.GpuIcon[1]));
    EXPECT_EQ(Monitor.ShownTemperature[0], 48u);
    EXPECT_EQ(Monitor.ShownTemperature[1], 52u);
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU1));
    EXPECT_TRUE(EntryExists(TRAY_ID_GPU2));
}

TEST_F(TrayIconsTest, HiddenDialogIsShownWhenTheEntryCannotBeAdded) {
    // An entry with the same owner and id already exists, so the shell refuses the add.
    ASSERT_TRUE(TrayNotify(window, NIM_ADD, TRAY_ID_GPU1, nullptr, 0));
    Monitor.DualGpu = true;
    Monitor.HiddenToTray = 1;
    AddTrayIcons(window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(Monitor.HiddenToTray);
    EXPECT_FALSE(EntryExists(TRAY_ID_GPU2)) << "the second add follows only a successful first";
}

TEST_F(TrayIconsTest, HiddenDialogStaysHiddenWhenTheEntriesAreAdded) {
    Monitor.DualGpu = true;
    Monitor.HiddenToTray = 1;
    AddTrayIcons(window);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(Monitor.HiddenToTray);
}

TEST_F(TrayIconsTest, OnlyButtonPressesOnTheEntriesShowTheDialog) {
    struct Case {
        WPARAM Id;
        LPARAM Mouse;
        bool Shows;
    };
    const Case cases[] = {
        {TRAY_ID_GPU1, WM_LBUTTONDOWN, true},
        {TRAY_ID_GPU2, WM_LBUTTONDOWN, true},
        {TRAY_ID_GPU1, WM_RBUTTONDOWN, true},
        {TRAY_ID_GPU2, WM_RBUTTONDOWN, true},
        {TRAY_ID_GPU1, WM_LBUTTONUP, false},
        {TRAY_ID_GPU1, WM_RBUTTONUP, false},
        {TRAY_ID_GPU1, WM_LBUTTONDBLCLK, false},
        {TRAY_ID_GPU2, WM_MOUSEMOVE, false},
        {TRAY_ID_GPU1, WM_MBUTTONDOWN, false},
        {4244, WM_LBUTTONDOWN, false},
        {0x10000 | TRAY_ID_GPU1, WM_LBUTTONDOWN, false},
        {TRAY_ID_GPU1, 0x10000 | WM_LBUTTONDOWN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "id " << c.Id << ", mouse 0x" << std::hex << c.Mouse);
        if (IsWindowVisible(window))
            ShowWindow(window, SW_HIDE);
        Monitor.HiddenToTray = 1;
        OnTrayNotify(window, c.Id, c.Mouse);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, c.Shows);
        EXPECT_EQ(Monitor.HiddenToTray != 0, !c.Shows);
    }
    // A hidden window that the program did not hide to the tray stays as it is.
    ShowWindow(window, SW_HIDE);
    Monitor.HiddenToTray = 0;
    OnTrayNotify(window, TRAY_ID_GPU1, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(window));
}

} // namespace
