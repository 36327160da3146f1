// Start-up of the real program under the simulated driver: the single-instance guard, the vendor
// warning, the fatal and non-fatal driver failures, the default alert threshold, the history file
// as it is loaded and written, and the exit code after closing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "history_image.h"

namespace {

const std::vector<int> AbortRetryIgnore = {IDABORT, IDRETRY, IDIGNORE};

// Handles the messages sent to this thread's windows while it waits for other processes.
void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A window of the test program that holds the foreground, so that a window brought to the front
// afterwards is told apart from one that merely stayed there.
HWND TakeForeground() {
    HWND window = CreateWindowExA(0, "STATIC", "end-to-end test", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        return nullptr;
    }
    SetForegroundWindow(window);
    if (!WaitUntil([&] {
            PumpMessages();
            return GetForegroundWindow() == window;
        })) {
        DestroyWindow(window);
        return nullptr;
    }
    return window;
}

// The history file a single-GPU run writes at close after `samples` samples at `core` degrees,
// starting from these traces: each sample pushes the traces one place back, GPU 1's trace
// receiving the core value and GPU 2's trace NoReading.
std::vector<std::uint8_t> AfterSamples(const std::vector<std::uint8_t>& traces, int samples,
                                       std::uint8_t core) {
    std::vector<std::uint8_t> expected(512);
    for (int trace = 0; trace < 2; ++trace) {
        const std::uint8_t newest = trace == 0 ? core : NoReadingByte;
        for (int i = 0; i < 256; ++i) {
            expected[trace * 256 + i] =
                i < samples ? newest : traces[static_cast<std::size_t>(trace * 256 + i - samples)];
        }
    }
    return expected;
}

// Samples taken by a single-GPU run: every thermal reading but the one at start-up.
int SingleGpuSamples() {
    return CountSimCalls(ThermalCall) - 1;
}

// Every line of the call log is one driver call.
int DriverCalls() {
    return static_cast<int>(SimCallLog().size());
}

// The scenario with one line replaced.
std::string ScenarioWith(const std::string& line, const std::string& replacement,
                         std::string scenario = SingleGpuScenario()) {
    const std::size_t at = scenario.find(line);
    if (at != std::string::npos) {
        scenario.replace(at, line.size(), replacement);
    }
    return scenario;
}

// Two GPUs at 50 and 60 degrees with these limits (0 = the driver reports none).
std::string TwoGpuScenario(unsigned gpu1Limit, unsigned gpu2Limit) {
    return std::string(DriverScenario) + "gpus = 2\ngpus.status = 0\n" +
           GpuScenario(1, Gpu1Name, Gpu1Core, gpu1Limit) + GpuScenario(2, Gpu2Name, 60, gpu2Limit);
}

// A new, empty folder that is the user's application-data folder, in both registry values that
// name it, for as long as this lives.
struct MovedAppData {
    explicit MovedAppData(const std::wstring& folder)
        : Folder(folder),
          Created(RemoveFolderTree(folder) && CreateDirectoryW(folder.c_str(), nullptr)),
          UserFolder(HKEY_CURRENT_USER, (ExplorerKey + L"User Shell Folders").c_str(), L"AppData",
                     REG_EXPAND_SZ, folder),
          ShellFolder(HKEY_CURRENT_USER, (ExplorerKey + L"Shell Folders").c_str(), L"AppData",
                      REG_SZ, folder) {}
    ~MovedAppData() { RemoveFolderTree(Folder); }
    bool Ready() const { return Created && UserFolder.Applied() && ShellFolder.Applied(); }

    static inline const std::wstring ExplorerKey =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    std::wstring Folder;
    bool Created;
    RegistryValueOverride UserFolder;
    RegistryValueOverride ShellFolder;
};

std::wstring TempFolderPath() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

class StartupTest : public KelvaneEndToEnd {
  protected:
    // Expects the program to end with exit code 0 without showing anything more.
    void ExpectExitZero(ChildProcess* child) {
        DWORD exitCode = 1;
        ASSERT_TRUE(WaitForExit(child, &exitCode)) << "the program did not end";
        EXPECT_EQ(exitCode, 0u);
    }

    // Starts, answers the vendor warning with Ignore, and expects exactly one error box with
    // this caption and text; after OK the program ends with exit code 0 before it builds its data
    // folder (the step right before the main dialog).
    void ExpectFatalErrorBox(const std::string& caption, const std::string& text,
                             const std::string& exePath = {}) {
        ASSERT_TRUE(StartKelvane(&First, {}, exePath));
        ASSERT_TRUE(AnswerVendorWarning(First));
        HWND box = ExpectMessageBox(caption, text, OkOnly);
        ASSERT_NE(box, nullptr) << "no error box";
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
        ExpectExitZero(&First);
        EXPECT_FALSE(DataFolderExists());
    }

    // A second start brings the running instance's window up and to the front and ends with 0
    // without touching the driver, whether that window was visible or hidden in the tray.
    void ExpectSecondInstanceFrontsFirst(HWND dialog) {
        HWND ownWindow = TakeForeground();
        ASSERT_NE(ownWindow, nullptr) << "the test cannot take the foreground";

        // The second instance stops before the vendor warning. While it fronts the first one,
        // this thread's window is told that it loses the foreground, so keep handling messages.
        ASSERT_TRUE(StartKelvane(&Second));
        EXPECT_TRUE(WaitUntil([&] {
            PumpMessages();
            return !IsRunning(Second);
        })) << "the second instance did not end";
        ExpectExitZero(&Second);

        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_TRUE(WaitUntil([&] {
            PumpMessages();
            return GetForegroundWindow() == dialog;
        })) << "the running instance was not brought to the front";
        EXPECT_TRUE(IsRunning(First));
        DestroyWindow(ownWindow);
        CloseAndExpectExitZero(dialog);
    }

    // Starts on the history file given (none when empty), takes a sample, closes, and expects
    // the file written at close to hold these traces pushed back by the samples taken.
    void ExpectHistoryAfterClose(const std::vector<std::uint8_t>& fileBefore,
                                 const std::vector<std::uint8_t>& tracesLoaded) {
        if (!fileBefore.empty()) {
            ASSERT_TRUE(WriteHistoryFile(fileBefore));
        }
        HWND dialog = StartToFirstSample();
        ASSERT_NE(dialog, nullptr);
        CloseAndExpectExitZero(dialog);
        bool exists = false;
        const std::vector<std::uint8_t> written = ReadFileBytes(HistoryFilePath(), &exists);
        ASSERT_TRUE(exists);
        const int samples = SingleGpuSamples();
        ASSERT_GE(samples, 1);
        EXPECT_TRUE(SameHistory(written, AfterSamples(tracesLoaded, samples, Gpu1Core)))
            << samples << " samples taken";
    }
};

class StartupGermanTest : public StartupTest {};

// ---- Showing the window ----

TEST_F(StartupTest, FirstStartShowsTheWindowAndWritesRunHiddenSoTheNextStartIsHidden) {
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForVisible(dialog, true));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("RunHidden") == "1"; }))
        << "RunHidden=" << ReadSetting("RunHidden");
    CloseAndExpectExitZero(dialog);

    dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    // The first sample is taken in the message loop, after the show-or-hide decision.
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(ReadSetting("RunHidden"), "1");
    CloseAndExpectExitZero(dialog);
}

// ---- Single instance ----

TEST_F(StartupTest, SecondInstanceFrontsTheVisibleFirstAndEndsWithZero) {
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForVisible(dialog, true));
    ExpectSecondInstanceFrontsFirst(dialog);
}

TEST_F(StartupTest, SecondInstanceShowsTheHiddenFirstAndEndsWithZero) {
    ASSERT_TRUE(WriteSettingsFile("[Settings]\r\nRunHidden=1\r\n"));
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    ASSERT_FALSE(IsWindowVisible(dialog));
    ExpectSecondInstanceFrontsFirst(dialog);
}

TEST_F(StartupTest, HeldInstanceGuardWithoutWindowStillStarts) {
    // A guard held by a process without a "Kelvane" window fronts nothing, so the program starts
    // as if it were the first instance.
    HANDLE guard = CreateMutexA(nullptr, FALSE, "OstrelToolsKelvane");
    ASSERT_NE(guard, nullptr);
    HWND dialog = StartToFirstSample();
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
        CloseAndExpectExitZero(dialog);
    }
    CloseHandle(guard);
}

// ---- Vendor warning ----

TEST_F(StartupTest, VendorWarningAbortEndsWithZeroBeforeTheDriverIsLoaded) {
    ASSERT_TRUE(StartKelvane(&First));
    MessageBoxView warning;
    ASSERT_TRUE(AnswerVendorWarning(First, IDABORT, &warning)) << warning.Text;
    EXPECT_EQ(warning.Caption, WineAdapterName);
    EXPECT_EQ(warning.Buttons, AbortRetryIgnore);
    ExpectExitZero(&First);
    EXPECT_EQ(DriverCalls(), 0);
    EXPECT_FALSE(DataFolderExists());
}

TEST_F(StartupTest, VendorWarningRetryAsksAgainWithTheAdapterCaptionAndIgnoreGoesOn) {
    ASSERT_TRUE(StartKelvane(&First));
    for (int retry = 0; retry < 2; ++retry) {
        MessageBoxView warning;
        ASSERT_TRUE(AnswerVendorWarning(First, IDRETRY, &warning)) << warning.Text;
        EXPECT_EQ(warning.Caption, WineAdapterName);
        EXPECT_EQ(warning.Buttons, AbortRetryIgnore);
    }
    MessageBoxView again;
    ASSERT_TRUE(AnswerVendorWarning(First, IDIGNORE, &again)) << again.Text;
    EXPECT_EQ(again.Caption, WineAdapterName);
    EXPECT_EQ(again.Buttons, AbortRetryIgnore);

    HWND dialog = WaitForMainDialog(First);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 2, First.Process));
    CloseAndExpectExitZero(dialog);
}

// ---- Driver failures before the dialog ----

TEST_F(StartupTest, DriverLibraryThatCannotBeLoadedShowsTheLibraryErrorAndEndsWithZero) {
    const std::string copy = KelvaneCopyWithoutDriverLibrary();
    ASSERT_FALSE(copy.empty());
    ExpectFatalErrorBox(WineAdapterName, DriverLibraryErrorText(), copy);
    EXPECT_EQ(DriverCalls(), 0);
}

TEST_F(StartupTest, LibraryPlantedBesideTheProgramIsNotLoaded) {
    // The driver library is taken from the system folder only, so the broken file beside the
    // program neither stops it nor gets loaded.
    const std::string copy = KelvaneCopyBesidePlantedLibrary();
    ASSERT_FALSE(copy.empty());
    ASSERT_TRUE(StartKelvane(&First, {}, copy));
    ASSERT_TRUE(AnswerVendorWarning(First));
    HWND dialog = WaitForMainDialog(First);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 2, First.Process));
    CloseAndExpectExitZero(dialog);
}

TEST_F(StartupTest, DriverInitialisationFailureShowsTheLibraryErrorAndEndsWithZero) {
    ASSERT_TRUE(WriteSimScenario(ScenarioWith("initialize.status = 0", "initialize.status = -1")));
    ExpectFatalErrorBox(WineAdapterName, DriverLibraryErrorText());
}

TEST_F(StartupGermanTest, DriverInitialisationFailureShowsTheGermanLibraryError) {
    ASSERT_TRUE(WriteSimScenario(ScenarioWith("initialize.status = 0", "initialize.status = -1")));
    ExpectFatalErrorBox(WineAdapterName,
                        "Die NVIDIA NVAPI Library \"nvapi.dll\" konnte nicht geladen werden.");
}

TEST_F(StartupTest, FailingGpuQueryShowsTheDriverTextUnderTheAdapterNameAndEndsWithZero) {
    ASSERT_TRUE(WriteSimScenario(ScenarioWith("gpus.status = 0", "gpus.status = -1")));
    ExpectFatalErrorBox(WineAdapterName, "Simulated driver failure");
}

TEST_F(StartupTest, FailingGpuQueryWithoutErrorTextEndsWithZeroWithoutABox) {
    ASSERT_TRUE(
        WriteSimScenario(ScenarioWith("error.status = 0", "error.status = -1",
                                      ScenarioWith("gpus.status = 0", "gpus.status = -1"))));
    ASSERT_TRUE(StartKelvane(&First));
    ASSERT_TRUE(AnswerVendorWarning(First));
    ExpectExitZero(&First);
    EXPECT_FALSE(DataFolderExists());
}

// ---- First reading and the default threshold ----

TEST_F(StartupTest, FailingFirstReadingShowsTheDriverTextUnderTheGpuNameAndGoesOn) {
    // The first reading fails, every later one succeeds.
    ASSERT_TRUE(
        WriteSimScenario(ScenarioWith("gpu1.thermal.status = 0", "gpu1.thermal.status = -1 0")));
    ASSERT_TRUE(StartKelvane(&First));
    ASSERT_TRUE(AnswerVendorWarning(First));
    HWND box = ExpectMessageBox(Gpu1Name, "Simulated driver failure", OkOnly);
    ASSERT_NE(box, nullptr) << "no error box for the first reading";
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    HWND dialog = WaitForMainDialog(First);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 2, First.Process));
    // No limit was learned, so the default threshold is 100.
    EXPECT_EQ(ReadControlText(dialog, 1005), "100");
    CloseAndExpectExitZero(dialog);
}

TEST_F(StartupTest, DefaultThresholdIsTheLowerLimitUnlessGpu1ReportsNone) {
    struct LimitCase {
        unsigned Gpu1Limit;
        unsigned Gpu2Limit;
        const char* Threshold;
    };
    for (const LimitCase& limits : {LimitCase{90, 85, "85"}, LimitCase{85, 90, "85"},
                                    LimitCase{0, 85, "100"}, LimitCase{90, 0, "90"}}) {
        SCOPED_TRACE(testing::Message()
                     << "GPU limits " << limits.Gpu1Limit << " and " << limits.Gpu2Limit);
        ASSERT_TRUE(RemoveDataFolder());
        ASSERT_TRUE(WriteSimScenario(TwoGpuScenario(limits.Gpu1Limit, limits.Gpu2Limit)));
        HWND dialog = StartToFirstSample(2);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ReadControlText(dialog, 1005), limits.Threshold);
        CloseAndExpectExitZero(dialog);
        StopProcess(&First);
    }
}

// ---- History file and close ----

TEST_F(StartupTest, ClosingWritesA512ByteHistoryThatTheNextStartContinues) {
    const std::vector<std::uint8_t> empty(512, NoReadingByte);
    ExpectHistoryAfterClose({}, empty);
    const std::vector<std::uint8_t> firstRun = ReadFileBytes(HistoryFilePath());
    ASSERT_EQ(firstRun.size(), 512u);
    ExpectHistoryAfterClose({}, firstRun);
}

TEST_F(StartupTest, HistoryFileOf511BytesLoadsAsEmpty) {
    ExpectHistoryAfterClose(PatternHistory(511), std::vector<std::uint8_t>(512, NoReadingByte));
}

TEST_F(StartupTest, HistoryFileOf600BytesLoadsItsFirst512) {
    const std::vector<std::uint8_t> file = PatternHistory(600);
    ExpectHistoryAfterClose(file, std::vector<std::uint8_t>(file.begin(), file.begin() + 512));
}

TEST_F(StartupTest, CommandTwoClosesLikeWmClose) {
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostCommand(dialog, IDCANCEL));
    ExpectExitZero(&First);
    bool exists = false;
    EXPECT_EQ(ReadFileBytes(HistoryFilePath(), &exists).size(), 512u);
    EXPECT_TRUE(exists);
}

// ---- Data folder ----

TEST_F(StartupTest, DataFolderTheAnsiCodePageCannotSpellKeepsSettingsAndHistory) {
    // An application-data folder named with a Polish and a Chinese letter, as a user's name can
    // make it; code page 1252 has neither.
    const MovedAppData appData(TempFolderPath() + L"kelvane-e2e-\u0141\u6587");
    ASSERT_TRUE(appData.Ready()) << "Wine needs a UTF-8 locale";
    const std::wstring dataFolder = appData.Folder + L"\\Ostrel-Tools\\Kelvane\\";

    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForVisible(dialog, true));
    EXPECT_TRUE(WaitUntil([&] {
        const std::vector<std::uint8_t> ini = ReadFileBytes(dataFolder + L"Kelvane.ini");
        return std::string(ini.begin(), ini.end()).find("RunHidden=1") != std::string::npos;
    })) << "RunHidden was not stored in the data folder";
    CloseAndExpectExitZero(dialog);
    const std::vector<std::uint8_t> firstRun =
        AfterSamples(std::vector<std::uint8_t>(512, NoReadingByte), SingleGpuSamples(), Gpu1Core);

    // The next start reads both files: it starts hidden and continues the history.
    ASSERT_TRUE(WriteSimScenario(ScenarioWith("sensor1 = 1 50", "sensor1 = 1 60")));
    dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowVisible(dialog));
    CloseAndExpectExitZero(dialog);
    EXPECT_TRUE(SameHistory(ReadFileBytes(dataFolder + L"Kelvane.dat"),
                            AfterSamples(firstRun, SingleGpuSamples(), 60)));
}

TEST_F(StartupTest, DataFolderTooLongForItsSubfoldersLeavesTheFilesAloneAndWritesNothingElse) {
    // The longest folder CreateDirectory makes: "Ostrel-Tools" no longer fits behind it.
    std::wstring longest = TempFolderPath() + L"kelvane-e2e-long-";
    longest.resize(247, L'x');
    const MovedAppData appData(longest);
    ASSERT_TRUE(appData.Ready());
    // A copy in a folder of its own, which is its working folder, as when Explorer starts it.
    const std::string exe = KelvaneCopyBesidePlantedFile("long-app-data", "readme.txt", {});
    ASSERT_FALSE(exe.empty());
    char windows[MAX_PATH] = "";
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);

    HWND dialog = StartToFirstSample(1, {}, exe);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(WaitForVisible(dialog, true)) << "without settings every start is a first one";
    CloseAndExpectExitZero(dialog);
    for (const std::string& folder :
         {exe.substr(0, exe.rfind('\\')), std::string(windows), std::string("C:")}) {
        for (const char* name : {"Kelvane", "Kelvane.ini", "Kelvane.dat", "Ostrel-Tools"}) {
            EXPECT_FALSE(FileExists(folder + "\\" + name)) << folder << "\\" << name;
        }
    }
}

// ---- German interface ----

TEST_F(StartupGermanTest, GermanLanguageStartsWithTheGermanWarningAndDialog) {
    // The fixture's start answers the vendor warning only when it shows the German text.
    HWND dialog = StartToFirstSample();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadControlText(dialog, 1003), "&Anwenden");
    CloseAndExpectExitZero(dialog);
}

} // namespace
