// The binding to the driver library, against the simulated library in the prefix's system32.
// Every test is a process of its own, so each one starts unbound.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "sensors/driver_api.h"
#include "support/child_process.h"
#include "support/sim_scenario.h"

namespace {

constexpr unsigned char Pattern = 0x5A;

template <typename T>
T Patterned() {
    T value;
    std::memset(&value, Pattern, sizeof value);
    return value;
}

// True when every byte of value still holds the pattern.
template <typename T>
bool Untouched(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (std::size_t i = 0; i < sizeof value; ++i) {
        if (bytes[i] != Pattern)
            return false;
    }
    return true;
}

NvPhysicalGpuHandle AnyGpuHandle() {
    return Patterned<NvPhysicalGpuHandle>();
}

void ExpectThermalQueryFails(NvPhysicalGpuHandle gpu, NvStatus expected) {
    auto settings = Patterned<NvThermalSettings>();
    settings.Version = NvThermalSettingsVersion;
    NvThermalSettings before = settings;
    EXPECT_EQ(NvAPI_GPU_GetThermalSettings(gpu, NvAllThermalSensors, &settings), expected);
    EXPECT_EQ(std::memcmp(&settings, &before, sizeof settings), 0);
}

// Calls all six forwarding entry points with outputs full of a pattern: each must answer
// expected and leave every output as it was.
void ExpectEveryEntryFails(NvStatus expected, NvPhysicalGpuHandle gpu = AnyGpuHandle()) {
    NvShortString text;
    std::memset(text, Pattern, sizeof text);
    EXPECT_EQ(NvAPI_GetErrorMessage(NvError, text), expected);
    EXPECT_TRUE(Untouched(text));

    auto version = Patterned<NvDisplayDriverVersion>();
    version.Version = NvDisplayDriverVersionVersion;
    NvDisplayDriverVersion versionBefore = version;
    EXPECT_EQ(NvAPI_GetDisplayDriverVersion(nullptr, &version), expected);
    EXPECT_EQ(std::memcmp(&version, &versionBefore, sizeof version), 0);

    auto display = Patterned<NvDisplayHandle>();
    EXPECT_EQ(NvAPI_EnumNvidiaDisplayHandle(0, &display), expected);
    EXPECT_TRUE(Untouched(display));

    NvPhysicalGpuHandle gpus[NvMaxPhysicalGpus];
    std::memset(gpus, Pattern, sizeof gpus);
    auto count = Patterned<std::uint32_t>();
    EXPECT_EQ(NvAPI_GetPhysicalGPUsFromDisplay(nullptr, gpus, &count), expected);
    EXPECT_TRUE(Untouched(gpus));
    EXPECT_TRUE(Untouched(count));

    NvShortString name;
    std::memset(name, Pattern, sizeof name);
    EXPECT_EQ(NvAPI_GPU_GetFullName(gpu, name), expected);
    EXPECT_TRUE(Untouched(name));

    ExpectThermalQueryFails(gpu, expected);
}

void ExpectStillUnbound() {
    EXPECT_FALSE(DriverApiBound);
    EXPECT_EQ(UnresolvedStatus, NvApiNotInitialized);
    ExpectEveryEntryFails(NvApiNotInitialized);
}

TEST(DriverBinding, EntriesFailUntouchedBeforeBinding) {
    ExpectStillUnbound();
    EXPECT_EQ(GetModuleHandleA("nvapi64.dll"), nullptr);
}

TEST(DriverBinding, BindsOnceAndForwardsToTheLibrary) {
    StartSimCallLog();
    ASSERT_TRUE(WriteSimScenario("error.text = Simulated failure\n"));
    ASSERT_EQ(BindDriverApi(), NvOk);
    EXPECT_TRUE(DriverApiBound);
    EXPECT_EQ(UnresolvedStatus, NvNoImplementation);
    EXPECT_EQ(CountSimCalls("NvAPI_Initialize"), 1);
    int queries = CountSimCalls("nvapi_QueryInterface");
    EXPECT_GE(queries, 7); // initialise plus the six entries

    // Bound already: nothing is loaded, initialised or looked up again.
    EXPECT_EQ(BindDriverApi(), NvOk);
    EXPECT_EQ(CountSimCalls("NvAPI_Initialize"), 1);
    EXPECT_EQ(CountSimCalls("nvapi_QueryInterface"), queries);

    NvShortString text = {};
    EXPECT_EQ(NvAPI_GetErrorMessage(NvError, text), NvOk);
    EXPECT_STREQ(text, "Simulated failure");
    NvDisplayHandle display = nullptr;
    EXPECT_EQ(NvAPI_EnumNvidiaDisplayHandle(0, &display), NvOk);
    EXPECT_NE(display, nullptr);
}

TEST(DriverBinding, FailedInitialisationLeavesEveryEntryUnbound) {
    StartSimCallLog();
    // Initialise not provided, then failing with -1 and with the most negative status.
    for (const char* scenario : {"absent = 0x0150E828\n", "initialize.status = -1\n",
                                 "initialize.status = -2147483648\n"}) {
        SCOPED_TRACE(scenario);
        ASSERT_TRUE(WriteSimScenario(scenario));
        EXPECT_EQ(BindDriverApi(), NvError);
        ExpectStillUnbound();
    }
    EXPECT_EQ(CountSimCalls("NvAPI_Initialize"), 2);

    // A later call tries again, and a positive status counts as success.
    ASSERT_TRUE(WriteSimScenario("initialize.status = 1\n"));
    EXPECT_EQ(BindDriverApi(), NvOk);
    EXPECT_TRUE(DriverApiBound);
}

TEST(DriverBinding, FunctionsTheLibraryLacksAnswerNoImplementation) {
    // The error text, the name and the thermal query are missing; the rest is there.
    ASSERT_TRUE(WriteSimScenario("absent = 0x6C2D048C 0xCEEE8E9F 3814984278\n"));
    ASSERT_EQ(BindDriverApi(), NvOk);

    NvDisplayHandle display = nullptr;
    ASSERT_EQ(NvAPI_EnumNvidiaDisplayHandle(0, &display), NvOk);
    NvPhysicalGpuHandle gpus[NvMaxPhysicalGpus] = {};
    std::uint32_t count = 0;
    ASSERT_EQ(NvAPI_GetPhysicalGPUsFromDisplay(display, gpus, &count), NvOk);
    ASSERT_EQ(count, 1u);

    NvShortString text;
    std::memset(text, Pattern, sizeof text);
    EXPECT_EQ(NvAPI_GetErrorMessage(NvError, text), NvNoImplementation);
    EXPECT_TRUE(Untouched(text));
    NvShortString name;
    std::memset(name, Pattern, sizeof name);
    EXPECT_EQ(NvAPI_GPU_GetFullName(gpus[0], name), NvNoImplementation);
    EXPECT_TRUE(Untouched(name));
    ExpectThermalQueryFails(gpus[0], NvNoImplementation);
}

TEST(DriverBinding, MissingLibraryGivesLibraryNotFound) {
    if (EnterChildTest()) {
        EXPECT_EQ(BindDriverApi(), NvLibraryNotFound);
        ExpectStillUnbound();
        return;
    }
    EXPECT_EQ(RunTestWithoutDll("DriverBinding.MissingLibraryGivesLibraryNotFound", "nvapi64"), 0);
}

TEST(DriverBinding, LibraryWithoutQueryExportGivesError) {
    // A module already loaded under the same base name is what the system-folder load finds.
    HMODULE impostor = LoadLibraryA(SimBuildPath("noexport\\nvapi64.dll").c_str());
    ASSERT_NE(impostor, nullptr);
    StartSimCallLog();
    EXPECT_EQ(BindDriverApi(), NvError);
    ExpectStillUnbound();
    EXPECT_EQ(GetModuleHandleA("nvapi64.dll"), impostor);
    EXPECT_TRUE(SimCallLog().empty());
}

} // namespace
