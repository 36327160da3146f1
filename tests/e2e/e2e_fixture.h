// GoogleTest fixture of the end-to-end tests: every test starts from a clean slate (no stray
// instance, no data folder, no driver call log) and every program it starts is ended when it
// finishes, passed or failed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "support/sim_scenario.h"

// Driver facts every scenario shares: the API initialises, one NVIDIA display with a driver new
// enough for the GPU name query, and the error text the program shows for a failure.
inline constexpr char DriverScenario[] = "initialize.status = 0\n"
                                         "displays = 1\n"
                                         "version = 53112\n"
                                         "version.status = 0\n"
                                         "error.text = Simulated driver failure\n"
                                         "error.status = 0\n";

// Lines of one GPU with one GPU sensor at `core` degrees and a default maximum of `limit`.
inline std::string GpuScenario(int gpu, const char* name, unsigned core, unsigned limit) {
    const std::string prefix = "gpu" + std::to_string(gpu) + ".";
    return prefix + "name = " + name + "\n" + prefix + "name.status = 0\n" + prefix +
           "thermal.status = 0\n" + prefix + "sensors = 1\n" + prefix + "sensor1 = 1 " +
           std::to_string(core) + " " + std::to_string(limit) + "\n";
}

// The buttons of a box that only informs.
inline const std::vector<int> OkOnly = {IDOK};

inline constexpr char Gpu1Name[] = "NVIDIA GeForce GTX 1080";
inline constexpr char Gpu2Name[] = "NVIDIA GeForce GTX 1070";
inline constexpr unsigned Gpu1Core = 50;

// One GPU at 50 degrees with a limit of 90.
inline std::string SingleGpuScenario() {
    return std::string(DriverScenario) + "gpus = 1\ngpus.status = 0\n" +
           GpuScenario(1, Gpu1Name, Gpu1Core, 90);
}

class KelvaneEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        // German tests run in their own ctest entry under a German locale, all others under an
        // English one; a test in the wrong run would compare the wrong texts.
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string suite =
            testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        const bool germanTest = (suite + name).find("German") != std::string::npos;
        ASSERT_EQ(germanTest, UiIsGerman())
            << "German tests need LC_ALL=de_DE.UTF-8, all others an English locale";

        EndStrayInstances();
        ASSERT_TRUE(RemoveDataFolder()) << DataFolderPath();
        StartSimCallLog();
        ASSERT_TRUE(WriteSimScenario(SingleGpuScenario())) << SimScenarioPath();
    }

    void TearDown() override {
        StopProcess(&First);
        StopProcess(&Second);
    }

    // Starts the first instance, answers the vendor warning with Ignore and waits until the main
    // dialog exists and has taken its first sample (so initialisation and the show-or-hide
    // decision are over). Start-up reads each of the scenario's `gpus` (at most two) once, the
    // first sample reads GPU 1 first. exePath names a copy of the program to start instead.
    // Returns the dialog, nullptr after a failed expectation.
    HWND StartToFirstSample(int gpus = 1, const EnvironmentEntries& extra = {},
                            const std::string& exePath = {}) {
        StartSimCallLog();
        if (!StartKelvane(&First, extra, exePath)) {
            ADD_FAILURE() << "cannot start " << (exePath.empty() ? KelvaneExePath() : exePath);
            return nullptr;
        }
        MessageBoxView warning;
        if (!AnswerVendorWarning(First, IDIGNORE, &warning)) {
            ADD_FAILURE() << "no vendor warning answered; box showed \"" << warning.Text << "\"";
            return nullptr;
        }
        HWND dialog = WaitForMainDialog(First);
        if (!dialog) {
            ADD_FAILURE() << "no main dialog";
            return nullptr;
        }
        const int startupReadings = gpus > 1 ? 2 : 1;
        if (!WaitForSimCalls(ThermalCall, startupReadings + 1, First.Process)) {
            ADD_FAILURE() << "no sample taken";
            return nullptr;
        }
        return dialog;
    }

    // Waits for a message box of the first instance (other than `except`) and expects its
    // caption, text and buttons. Returns the box, nullptr after a failed expectation.
    HWND ExpectMessageBox(const std::string& caption, const std::string& text,
                          const std::vector<int>& buttons, HWND except = nullptr) {
        HWND box = WaitForMessageBox(First, except);
        if (!box) {
            ADD_FAILURE() << "no box with \"" << text << "\"";
            return nullptr;
        }
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.Caption, caption);
        EXPECT_EQ(view.Text, text);
        EXPECT_EQ(view.Buttons, buttons);
        return box;
    }

    // Closes the first instance with WM_CLOSE and expects a normal end with exit code 0.
    void CloseAndExpectExitZero(HWND dialog) {
        ASSERT_TRUE(PostToWindow(dialog, WM_CLOSE));
        DWORD exitCode = 1;
        ASSERT_TRUE(WaitForExit(&First, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    ChildProcess First;
    ChildProcess Second;
};
