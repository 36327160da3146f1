// GPU discovery and the GPU information box, against the simulated driver library. Every
// message box is caught and answered, so a box nobody expected shows up as a record.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "core/gpu_monitor.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_discovery.h"
#include "support/message_box_capture.h"
#include "support/sim_scenario.h"

namespace {

class GpuDiscovery : public testing::Test {
  protected:
    void SetUp() override {
        StartSimCallLog();
        ASSERT_TRUE(BeginMessageBoxCapture());
    }

    void TearDown() override {
        EndMessageBoxCapture();
        if (Owner != nullptr)
            DestroyWindow(Owner);
    }

    // Binds the library with scenario as the driver's state.
    void BindWith(const std::string& scenario) {
        ASSERT_TRUE(WriteSimScenario(scenario));
        ASSERT_EQ(BindDriverApi(), NvOk);
    }

    // What start-up does before the first discovery.
    static void ResetDiscoveredFacts(const char* gpuName = "Kelvane") {
        std::strcpy(Monitor.GpuName, gpuName);
        Monitor.DriverVersionText[0] = '\0';
    }

    // A hidden top-level window to own the boxes of a display change.
    HWND OwnerWindow() {
        if (Owner == nullptr)
            Owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        return Owner;
    }

    static const std::vector<CapturedMessageBox>& Boxes() { return CapturedMessageBoxes(); }

    HWND Owner = nullptr;
};

TEST_F(GpuDiscovery, DriverVersionDecidesTextAndNameQuery) {
    struct Case {
        const char* Scenario;
        const char* Text;
        bool NameAsked;
    };
    const Case cases[] = {
        {"version = 9210\n", "92.10", true},
        {"version = 9209\n", "92.09", false},
        {"version = 27505\n", "275.05", true},
        {"version = 26021\n", "260.21", true},
        // No version, or none from a failing query: no text and no name.
        {"version = 0\n", "", false},
        {"version = 53112\nversion.status = -1\n", "", false},
    };
    BindWith("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Scenario);
        ResetDiscoveredFacts();
        ASSERT_TRUE(WriteSimScenario(std::string(c.Scenario) + "gpu1.name = Sim GPU A\n"));
        int namesBefore = CountSimCalls("NvAPI_GPU_GetFullName");
        EXPECT_TRUE(DiscoverGpus());
        EXPECT_STREQ(Monitor.DriverVersionText, c.Text);
        EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName") - namesBefore, c.NameAsked ? 1 : 0);
        EXPECT_STREQ(Monitor.GpuName, c.NameAsked ? "Sim GPU A" : "Kelvane");
        EXPECT_EQ(Monitor.GpuCount, 1u);
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GpuDiscovery, FailingNameQueryKeepsThePreviousName) {
    BindWith("gpu1.name.status = -1\n");
    ResetDiscoveredFacts("Wine Adapter");
    EXPECT_TRUE(DiscoverGpus());
    EXPECT_STREQ(Monitor.GpuName, "Wine Adapter");
    EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName"), 1);
}

TEST_F(GpuDiscovery, UnterminatedFullLengthNameIsCutToTerminatedText) {
    std::string full = "NVIDIA GeForce with a name that fills every byte of the buffer";
    full.resize(NvShortStringLength, '!');
    BindWith("gpu1.name = " + full + "\ngpu1.name.unterminated = 1\n");
    // Bytes behind the name's place in GpuName must not leak into it.
    std::memset(Monitor.GpuName, 'X', sizeof Monitor.GpuName - 1);
    Monitor.GpuName[sizeof Monitor.GpuName - 1] = '\0';
    EXPECT_TRUE(DiscoverGpus());
    EXPECT_EQ(std::string(Monitor.GpuName), full);
}

TEST_F(GpuDiscovery, EnumerationStopsWhenTheDisplayListIsFull) {
    BindWith("displays = 200\n");
    EXPECT_TRUE(DiscoverGpus());
    EXPECT_EQ(CountSimCalls("NvAPI_EnumNvidiaDisplayHandle"), NvMaxDisplayHandles);
    EXPECT_EQ(Monitor.GpuCount, 1u);
    EXPECT_STREQ(Monitor.DriverVersionText, "531.12");
}

TEST_F(GpuDiscovery, DisplayChangeKeepsVersionTextTheDriverNoLongerGives) {
    // Start-up reads 531.12; the first display change's version query fails, the second one
    // reports version 0.
    BindWith("version = 53112 53112 0\nversion.status = 0 -1 0\n");
    ResetDiscoveredFacts();
    ASSERT_TRUE(DiscoverGpus());
    ASSERT_STREQ(Monitor.DriverVersionText, "531.12");
    for (int change = 1; change <= 2; ++change) {
        SCOPED_TRACE(change);
        EXPECT_TRUE(RediscoverGpus(OwnerWindow()));
        EXPECT_STREQ(Monitor.DriverVersionText, "531.12");
    }
    EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName"), 1);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GpuDiscovery, DisplayChangeFollowsTheGpuCount) {
    BindWith("gpus = 1\ngpu1.name = First Name\n");
    ResetDiscoveredFacts();
    ASSERT_TRUE(DiscoverGpus());
    EXPECT_EQ(Monitor.GpuCount, 1u);
    EXPECT_EQ(Monitor.GpuHandles[1], nullptr);

    // No GPU behind the display: the name is not asked for and stays.
    ASSERT_TRUE(WriteSimScenario("gpus = 0\ngpu1.name = Second Name\n"));
    EXPECT_TRUE(RediscoverGpus(OwnerWindow()));
    EXPECT_EQ(Monitor.GpuCount, 0u);
    EXPECT_STREQ(Monitor.GpuName, "First Name");
    EXPECT_EQ(CountSimCalls("NvAPI_GPU_GetFullName"), 1);

    ASSERT_TRUE(WriteSimScenario("gpus = 2\ngpu1.name = Second Name\n"));
    EXPECT_TRUE(RediscoverGpus(OwnerWindow()));
    EXPECT_EQ(Monitor.GpuCount, 2u);
    EXPECT_NE(Monitor.GpuHandles[0], nullptr);
    EXPECT_NE(Monitor.GpuHandles[1], nullptr);
    EXPECT_NE(Monitor.GpuHandles[0], Monitor.GpuHandles[1]);
    EXPECT_STREQ(Monitor.GpuName, "Second Name");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(GpuDiscovery, StartUpShowsTheDriverErrorOnlyWhenItHasTheText) {
    BindWith("gpus.status = -6\nerror.text = No GPU behind this display\n");
    ResetDiscoveredFacts("Wine Adapter");
    EXPECT_FALSE(DiscoverGpus());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Owner, nullptr);
    EXPECT_EQ(Boxes()[0].Caption, "Wine Adapter");
    EXPECT_EQ(Boxes()[0].Text, "No GPU behind this display");
    EXPECT_EQ(Boxes()[0].Icon, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Boxes()[0].Buttons, static_cast<UINT>(MB_OK));

    // The driver's text for the very status that failed, even when it fills all 64 characters.
    const std::string longText(64, 'E');
    ASSERT_TRUE(WriteSimScenario("gpus.status = -6\nerror.text = " + longText +
                                 "\nerror.text.unterminated = 1\n"));
    EXPECT_FALSE(DiscoverGpus());
    ASSERT_TRUE(WriteSimScenario("gpus.status = -6\n"));
    EXPECT_FALSE(DiscoverGpus());
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[1].Text, longText);
    EXPECT_EQ(Boxes()[2].Text, "NVAPI_NVIDIA_DEVICE_NOT_FOUND");

    ASSERT_TRUE(WriteSimScenario("gpus.status = -6\nerror.status = -1\n"));
    EXPECT_FALSE(DiscoverGpus());
    EXPECT_EQ(Boxes().size(), 3u);
}

TEST_F(GpuDiscovery, DisplayChangeWarnsAndKeepsWhatTheFailedQueryLeft) {
    BindWith("gpus = 2\ngpu1.name = Sim GPU A\n");
    ResetDiscoveredFacts();
    ASSERT_TRUE(DiscoverGpus());
    NvPhysicalGpuHandle second = Monitor.GpuHandles[1];

    ASSERT_TRUE(WriteSimScenario("gpus.status = -1\nerror.text = Lost the GPUs\n"));
    EXPECT_FALSE(RediscoverGpus(OwnerWindow()));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].Owner, OwnerWindow());
    EXPECT_EQ(Boxes()[0].Caption, "Sim GPU A");
    EXPECT_EQ(Boxes()[0].Text, "Lost the GPUs");
    EXPECT_EQ(Boxes()[0].Icon, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(Monitor.GpuCount, 2u);
    EXPECT_EQ(Monitor.GpuHandles[1], second);

    ASSERT_TRUE(WriteSimScenario("gpus.status = -1\nerror.status = -3\n"));
    EXPECT_FALSE(RediscoverGpus(OwnerWindow()));
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(GpuDiscovery, InformationBoxInBothLanguages) {
    BindWith("version = 53112\ngpu1.name = NVIDIA GeForce GTX 1080\n");
    ResetDiscoveredFacts();
    ASSERT_TRUE(DiscoverGpus());
    Monitor.GermanUi = false;
    EXPECT_TRUE(ShowGpuInfo(OwnerWindow()));
    Monitor.GermanUi = true;
    EXPECT_TRUE(ShowGpuInfo(OwnerWindow()));

    // Without a driver version the box has one line, and the default name shows as "?".
    ASSERT_TRUE(WriteSimScenario("version = 0\n"));
    ResetDiscoveredFacts();
    ASSERT_TRUE(DiscoverGpus());
    EXPECT_TRUE(ShowGpuInfo(OwnerWindow()));

    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[0].Text, "GPU: NVIDIA GeForce GTX 1080\r\nDriver version: 531.12");
    EXPECT_EQ(Boxes()[1].Text, "GPU: NVIDIA GeForce GTX 1080\r\nTreiberversion: 531.12");
    EXPECT_EQ(Boxes()[2].Text, "GPU: ?");
    for (const CapturedMessageBox& box : Boxes()) {
        EXPECT_EQ(box.Caption, "Kelvane");
        EXPECT_EQ(box.Owner, OwnerWindow());
        EXPECT_EQ(box.Icon, static_cast<UINT>(MB_ICONINFORMATION));
    }
}

} // namespace
