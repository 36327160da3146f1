// The main dialog of the real program, driven from outside: applying and hiding, closing, the
// threshold box, the interval trackbar and its reset question, saving, the details overlay,
// help and the right click on the graph, display changes, the end of a Windows session, the
// font chooser, the display settings key and the German texts.
//
// A fresh program samples once at start and then every 60 seconds; no test here runs that long,
// so the samples a test sees are the ones it asks for.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "e2e_fixture.h"
#include "sampling_support.h"
#include "support/tray_host.h"

namespace {

constexpr int GraphId = 1001;
constexpr int IntervalId = 1002;
constexpr int ApplyId = 1003;
constexpr int IconFontId = 1004;
constexpr int ThresholdId = 1005;

// The system's F1 request (WM_KEYF1): a window's default handling answers it with WM_HELP for
// itself, which a control hands on to its dialog. A posted F1 key press is no hardware input and
// would not be turned into it.
constexpr UINT KeyF1Message = 0x004D;

constexpr unsigned Gpu2Core = 60;

const std::vector<int> OkCancel = {IDOK, IDCANCEL};

const char ResetQuestion[] =
    "The temperature history can not be adjust\r\nto the new scale and will be deleted.";
const char AlertText[] =
    "Warning: The GPU core temperature has reached the configured upper limit!";
const char GpuInfoText[] = "GPU: NVIDIA GeForce GTX 1080\r\nDriver version: 531.12";

// The about box: four lines naming the product with version 2.1.
bool IsAboutText(const std::string& text) {
    int lines = 1;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines == 4 && text.find("Kelvane") != std::string::npos &&
           text.find("2.1") != std::string::npos;
}

// A history whose trace 1 begins with ten unbroken samples, so that an interval change asks.
std::vector<std::uint8_t> HistoryWithTenSamples() {
    std::vector<std::uint8_t> bytes(512, EmptyHistoryByte);
    for (int i = 0; i < 10; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(60 + i);
    }
    return bytes;
}

// `gpus` GPUs behind the display; the second one is described either way, ready for when the
// count becomes 2.
std::string ScenarioWithGpus(int gpus) {
    return std::string(DriverScenario) + "gpus = " + std::to_string(gpus) + "\ngpus.status = 0\n" +
           GpuScenario(1, Gpu1Name, Gpu1Core, 90) + GpuScenario(2, Gpu2Name, Gpu2Core, 90);
}

bool ApplyEnabled(HWND dialog) {
    return IsWindowEnabled(GetDlgItem(dialog, ApplyId)) != FALSE;
}

int TrackbarPosition(HWND dialog) {
    return static_cast<int>(SendToWindow(GetDlgItem(dialog, IntervalId), TBM_GETPOS));
}

// Moves the interval trackbar the way a drag does: the new position, then the notification
// the trackbar sends its dialog.
bool MoveTrackbar(HWND dialog, int position) {
    HWND trackbar = GetDlgItem(dialog, IntervalId);
    if (!trackbar) {
        return false;
    }
    SendToWindow(trackbar, TBM_SETPOS, TRUE, position);
    return TrackbarPosition(dialog) == position &&
           PostToWindow(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                        reinterpret_cast<LPARAM>(trackbar));
}

// The window that has the keyboard focus in the program's thread.
HWND FocusOf(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) ? info.hwndFocus
                                                                              : nullptr;
}

// Asks a control for help as F1 does.
bool PressF1On(HWND window) {
    return PostToWindow(window, KeyF1Message);
}

// Screen point in the middle of a window, as WM_CONTEXTMENU carries it.
LPARAM CentreOf(HWND window) {
    RECT area = {};
    GetWindowRect(window, &area);
    return MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
}

// Texts of the dialog's controls without an id (-1), in their order.
std::vector<std::string> LabelTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(GetDlgItem(dialog, IDOK), GW_HWNDFIRST); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == -1) {
            char text[256] = "";
            GetWindowTextA(child, text, sizeof text);
            texts.emplace_back(text);
        }
    }
    return texts;
}

// Processes that the program started.
std::vector<DWORD> ProcessesStartedBy(DWORD parentId) {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parentId) {
            found.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Closes the windows of a process the program started, and ends it if it stays.
void CloseStartedProcess(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
    if (!process) {
        return;
    }
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == static_cast<DWORD>(parameter) && IsWindowVisible(window)) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
            return TRUE;
        },
        static_cast<LPARAM>(processId));
    if (WaitForSingleObject(process, StateTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
}

bool TrayShowsTip(const std::string& tip) {
    const std::vector<std::string> tips = TrayTooltips();
    return std::find(tips.begin(), tips.end(), tip) != tips.end();
}

// ---- Font chooser ----

constexpr int FaceBox = 0x470;
constexpr int StyleBox = 0x471;
constexpr int SizeBox = 0x472;
constexpr int ColourBox = 0x473;

// The font chooser: a dialog of the program with the face, size and colour boxes.
HWND WaitForFontChooser(const ChildProcess& child) {
    HWND chooser = nullptr;
    WaitUntil([&] {
        for (HWND window : DialogWindowsOf(child.ProcessId)) {
            if (GetDlgItem(window, FaceBox) && GetDlgItem(window, SizeBox) &&
                GetDlgItem(window, ColourBox) && IsWindowVisible(window)) {
                chooser = window;
                return true;
            }
        }
        return !IsRunning(child);
    });
    return chooser;
}

// Item text of a combo box of another process. The chooser's boxes keep Unicode text.
std::string ComboItemText(HWND box, int index) {
    wchar_t wide[256] = {};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(box, CB_GETLBTEXT, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, StateTimeoutMs,
                             &result)) {
        return {};
    }
    char text[256] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Selects the first item of a chooser box that `wanted` accepts (by text and item data) and
// tells the chooser, as a pick with the mouse does. Returns the item's text, empty when none.
std::string PickChooserItem(HWND chooser, int boxId,
                            const std::function<bool(const std::string&, LRESULT)>& wanted) {
    HWND box = GetDlgItem(chooser, boxId);
    const int count = static_cast<int>(SendToWindow(box, CB_GETCOUNT));
    for (int index = 0; index < count; ++index) {
        const std::string text = ComboItemText(box, index);
        if (!wanted(text, SendToWindow(box, CB_GETITEMDATA, static_cast<WPARAM>(index)))) {
            continue;
        }
        SendToWindow(box, CB_SETCURSEL, static_cast<WPARAM>(index));
        PostToWindow(chooser, WM_COMMAND, MAKEWPARAM(boxId, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
        return text;
    }
    return {};
}

// The screen cell in which the notification area shows the entry with this tooltip.
bool TrayCell(const std::string& tip, RECT* cell) {
    for (const TrayEntryView& entry : TrayEntries()) {
        if (entry.Tip == tip) {
            *cell = entry.Area;
            return cell->right > cell->left && cell->bottom > cell->top;
        }
    }
    return false;
}

int CountPixels(const ScreenImage& image, COLORREF colour) {
    return static_cast<int>(std::count(image.Pixels.begin(), image.Pixels.end(), colour));
}

// Key names of the settings file in the order of their lines.
std::vector<std::string> SettingKeysInOrder() {
    std::vector<std::string> keys;
    const std::string text = SettingsFileText();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            keys.push_back(line.substr(0, equals));
        }
        start = end + 1;
    }
    return keys;
}

class DialogTest : public KelvaneEndToEnd {
  protected:
    // Starts the program as on the first start: the window shows and RunHidden is written.
    HWND StartShown(int gpus = 1, const std::string& exePath = {}) {
        HWND dialog = StartToFirstSample(gpus, {}, exePath);
        if (!dialog) {
            return nullptr;
        }
        if (!WaitForVisible(dialog, true) ||
            !WaitUntil([] { return ReadSetting("RunHidden") == "1"; })) {
            ADD_FAILURE() << "the window did not show on the first start";
            return nullptr;
        }
        return dialog;
    }

    // Waits for a message box of the program and expects its texts and buttons.
    HWND ExpectBox(const std::string& text, const std::vector<int>& buttons) {
        return ExpectMessageBox("Kelvane", text, buttons);
    }

    // Waits for the about box and expects it to be the only box.
    HWND ExpectAboutBox() {
        HWND box = WaitForMessageBox(First);
        if (!box) {
            ADD_FAILURE() << "no about box";
            return nullptr;
        }
        const MessageBoxView view = ReadMessageBox(box);
        EXPECT_EQ(view.Caption, "Kelvane");
        EXPECT_TRUE(IsAboutText(view.Text)) << view.Text;
        EXPECT_EQ(view.Buttons, OkOnly);
        return box;
    }

    // Lets every message posted so far be handled, then expects no box up.
    void ExpectNoBox(HWND dialog) {
        ASSERT_TRUE(RefreshAndWait(First, dialog));
        EXPECT_EQ(CountMessageBoxes(First.ProcessId), 0);
    }
};

class DialogGermanTest : public DialogTest {};

// ---- Applying and hiding ----

TEST_F(DialogTest, EscAndOkApplyPendingChangesAndHideWhileTheProgramRuns) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(ApplyEnabled(dialog)) << "the dialog opens with nothing pending";

    // Esc is the accelerator for OK, not the dialog manager's Cancel that would end the program.
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "77"));
    ASSERT_TRUE(MoveTrackbar(dialog, 20));
    ASSERT_TRUE(WaitUntil([&] { return ApplyEnabled(dialog); }));
    ASSERT_TRUE(PostKey(dialog, VK_ESCAPE));
    EXPECT_TRUE(WaitForVisible(dialog, false));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "77"; }))
        << ReadSetting("AlertThreshold");
    // Too few samples to ask, and no history file to rewrite.
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("Interval") == "20"; }))
        << ReadSetting("Interval");
    EXPECT_FALSE(ApplyEnabled(dialog));
    ExpectNoBox(dialog);
    EXPECT_FALSE(FileExists(HistoryFilePath()));
    EXPECT_TRUE(IsRunning(First));

    // A click on the tray entry brings the window back; OK applies and hides again.
    ASSERT_TRUE(ClickTrayEntry(dialog, TrayEntryGpu1));
    ASSERT_TRUE(WaitForVisible(dialog, true));
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "66"));
    ASSERT_TRUE(PostCommand(dialog, IDOK));
    EXPECT_TRUE(WaitForVisible(dialog, false));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "66"; }))
        << ReadSetting("AlertThreshold");
    EXPECT_EQ(TrackbarPosition(dialog), 20);
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    EXPECT_TRUE(IsRunning(First));
    CloseAndExpectExitZero(dialog);
}

// ---- Closing ----

TEST_F(DialogTest, CloseButtonAltF4AndCommandTwoSaveAndEndWithZero) {
    struct Closing {
        const char* Name;
        UINT Message;
        WPARAM WParam;
    };
    // Alt+F4 reaches a window as SC_CLOSE. (A posted WM_SYSKEYDOWN cannot stand in for it under
    // Wine: accelerators read the Alt key's real state, so it arrives as plain F4.)
    for (const Closing& closing :
         {Closing{"WM_CLOSE", WM_CLOSE, 0}, Closing{"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
          Closing{"command 2", WM_COMMAND, IDCANCEL}}) {
        SCOPED_TRACE(closing.Name);
        ASSERT_TRUE(RemoveDataFolder());
        HWND dialog = StartShown();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(TrayEntryExists(dialog, TrayEntryGpu1));
        ASSERT_TRUE(PostKey(dialog, VK_F4)); // the overlay now differs from the stored one
        ASSERT_TRUE(PostToWindow(dialog, closing.Message, closing.WParam));
        DWORD exitCode = 1;
        ASSERT_TRUE(WaitForExit(&First, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(ReadSetting("ShowDetails"), "1");
        EXPECT_EQ(ReadFileBytes(HistoryFilePath()).size(), 512u);
        // (Wine's tray host also drops the entries of a window that is destroyed.)
        EXPECT_FALSE(TrayEntryExists(dialog, TrayEntryGpu1));
        EXPECT_FALSE(TrayShowsTip(Gpu1Name));
        StopProcess(&First);
    }
}

// ---- Alert threshold ----

TEST_F(DialogTest, EmptyThresholdBoxMeansNoThresholdAndIsWrittenOnce) {
    ASSERT_TRUE(WriteSettingsFile("[Settings]\r\nAlertThreshold=4294967295\r\n"));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    // The up-down must not fill the box that stands for no threshold with its position 0.
    EXPECT_EQ(ReadControlText(dialog, ThresholdId), "");
    EXPECT_FALSE(ApplyEnabled(dialog));

    // OK finds no change: nothing is written (the key is removed first, since the profile
    // functions would skip rewriting the same text anyway).
    ASSERT_TRUE(RemoveSetting("AlertThreshold"));
    ASSERT_TRUE(PostCommand(dialog, IDOK));
    ASSERT_TRUE(WaitForVisible(dialog, false));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    bool written = true;
    ReadSetting("AlertThreshold", &written);
    EXPECT_FALSE(written) << "OK wrote the unchanged threshold";

    ASSERT_TRUE(ClickTrayEntry(dialog, TrayEntryGpu1));
    ASSERT_TRUE(WaitForVisible(dialog, true));
    // Apply pressed from the keyboard while it has the focus: the focus goes on to OK instead
    // of staying on a disabled button.
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "70"));
    ASSERT_TRUE(WaitUntil([&] { return ApplyEnabled(dialog); }));
    HWND apply = GetDlgItem(dialog, ApplyId);
    ASSERT_TRUE(PostToWindow(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(apply), TRUE));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == apply; }));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    ASSERT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "70"; }));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == GetDlgItem(dialog, IDOK); }))
        << "the focus is on " << FocusOf(dialog);

    // Emptied: no threshold, written as the unsigned -1, once.
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, ""));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "4294967295"; }))
        << ReadSetting("AlertThreshold");
    EXPECT_FALSE(ApplyEnabled(dialog));
    ASSERT_TRUE(RemoveSetting("AlertThreshold"));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    ReadSetting("AlertThreshold", &written);
    EXPECT_FALSE(written) << "the second Apply wrote the threshold again";
    EXPECT_TRUE(IsWindowVisible(dialog)) << "Apply does not hide";
    CloseAndExpectExitZero(dialog);
}

TEST_F(DialogTest, AppliedThresholdChangeRearmsTheAlert) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);

    // 40 lies below the GPU's 50: the next sample alerts, showing the window hidden by OK.
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "40"));
    ASSERT_TRUE(PostCommand(dialog, IDOK));
    ASSERT_TRUE(WaitForVisible(dialog, false));
    ASSERT_TRUE(PostToWindow(dialog, RefreshNowMessage));
    HWND box = ExpectBox(AlertText, OkOnly);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(IsWindowVisible(dialog));
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    // Still at or above the threshold: the alert stays latched.
    ExpectNoBox(dialog);

    // A new threshold re-arms it.
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "45"));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    ASSERT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "45"; }));
    ASSERT_TRUE(PostToWindow(dialog, RefreshNowMessage));
    box = ExpectBox(AlertText, OkOnly);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    CloseAndExpectExitZero(dialog);
}

// ---- Sample interval ----

TEST_F(DialogTest, TrackbarMovedAwayAndBackAsksNothingAndWritesNothing) {
    const std::vector<std::uint8_t> history = HistoryWithTenSamples();
    ASSERT_TRUE(WriteHistoryFile(history));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    const std::string settings = SettingsFileText();

    ASSERT_TRUE(MoveTrackbar(dialog, 20));
    ASSERT_TRUE(WaitUntil([&] { return ApplyEnabled(dialog); }));
    ASSERT_TRUE(MoveTrackbar(dialog, 60));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    EXPECT_TRUE(WaitUntil([&] { return !ApplyEnabled(dialog); }));
    ExpectNoBox(dialog);
    EXPECT_EQ(TrackbarPosition(dialog), 60);
    EXPECT_EQ(SettingsFileText(), settings);
    EXPECT_TRUE(HistoryFileHolds(history));
    CloseAndExpectExitZero(dialog);
}

TEST_F(DialogTest, DecliningTheResetKeepsIntervalAndFilesYetAppliesTheThresholdAndHides) {
    const std::vector<std::uint8_t> history = HistoryWithTenSamples();
    ASSERT_TRUE(WriteHistoryFile(history));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);

    ASSERT_TRUE(MoveTrackbar(dialog, 20));
    ASSERT_TRUE(SetControlText(dialog, ThresholdId, "80"));
    ASSERT_TRUE(PostCommand(dialog, IDOK));
    HWND box = ExpectBox(ResetQuestion, OkCancel);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));

    EXPECT_TRUE(WaitForVisible(dialog, false));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("AlertThreshold") == "80"; }))
        << ReadSetting("AlertThreshold");
    EXPECT_EQ(TrackbarPosition(dialog), 60);
    EXPECT_FALSE(ApplyEnabled(dialog));
    bool intervalWritten = true;
    ReadSetting("Interval", &intervalWritten);
    EXPECT_FALSE(intervalWritten);
    EXPECT_TRUE(HistoryFileHolds(history));
    CloseAndExpectExitZero(dialog);
}

TEST_F(DialogTest, AcceptedIntervalChangeWritesIntervalAndKeepsOnlyTheNewestSamples) {
    ASSERT_TRUE(WriteHistoryFile(HistoryWithTenSamples()));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);

    ASSERT_TRUE(MoveTrackbar(dialog, 20));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    HWND box = ExpectBox(ResetQuestion, OkCancel);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("Interval") == "20"; }))
        << ReadSetting("Interval");
    // The file existed, so it was rewritten with the start-up sample alone.
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({Gpu1Core})));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "Apply does not hide";

    // 20 seconds is now the interval: Apply with the trackbar there changes nothing.
    ASSERT_TRUE(RemoveSetting("Interval"));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    ExpectNoBox(dialog);
    bool written = true;
    ReadSetting("Interval", &written);
    EXPECT_FALSE(written) << "the accepted interval was not kept";

    // One sample is too few to ask; without a file the change does not create one.
    ASSERT_TRUE(DeleteFileA(HistoryFilePath().c_str()));
    ASSERT_TRUE(MoveTrackbar(dialog, 60));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    EXPECT_TRUE(WaitUntil([] { return ReadSetting("Interval") == "60"; }))
        << ReadSetting("Interval");
    ExpectNoBox(dialog);
    EXPECT_FALSE(FileExists(HistoryFilePath()));

    // From 60 to 4 seconds: the timer goes on at the new period. Two samples within the wait
    // come only from it; the old period would give one at most, a stopped timer none.
    ASSERT_TRUE(MoveTrackbar(dialog, 4));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    ASSERT_TRUE(WaitUntil([] { return ReadSetting("Interval") == "4"; }));
    EXPECT_TRUE(WaitForSimCalls(ThermalCall, CountSimCalls(ThermalCall) + 2, First.Process))
        << "no samples every 4 seconds after the change";
    CloseAndExpectExitZero(dialog);
}

// ---- Saving and the details overlay ----

TEST_F(DialogTest, F2SavesTheHistoryAndShowDetailsOnlyWhenTheOverlayChanged) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    bool found = true;

    // Overlay unchanged: the history only.
    ASSERT_TRUE(PostKey(dialog, VK_F2));
    ASSERT_TRUE(WaitUntil([] { return FileExists(HistoryFilePath()); }));
    EXPECT_TRUE(HistoryFileHolds(HistoryImage({Gpu1Core})));
    ReadSetting("ShowDetails", &found);
    EXPECT_FALSE(found);

    // Toggled: F2 writes it (before the history, so it is there once the file is).
    ASSERT_TRUE(DeleteFileA(HistoryFilePath().c_str()));
    ASSERT_TRUE(PostKey(dialog, VK_F4));
    ASSERT_TRUE(PostKey(dialog, VK_F2));
    ASSERT_TRUE(WaitUntil([] { return FileExists(HistoryFilePath()); }));
    EXPECT_EQ(ReadSetting("ShowDetails"), "1");

    // F2 made it the stored state: F2 again writes no ShowDetails.
    ASSERT_TRUE(RemoveSetting("ShowDetails"));
    ASSERT_TRUE(DeleteFileA(HistoryFilePath().c_str()));
    ASSERT_TRUE(PostKey(dialog, VK_F2));
    ASSERT_TRUE(WaitUntil([] { return FileExists(HistoryFilePath()); }));
    ReadSetting("ShowDetails", &found);
    EXPECT_FALSE(found) << "F2 wrote an unchanged overlay state";

    // Toggled twice (a click on the graph, then F4): back to the stored state, so closing
    // writes no ShowDetails either.
    ASSERT_TRUE(PostCommand(dialog, GraphId));
    ASSERT_TRUE(PostKey(dialog, VK_F4));
    CloseAndExpectExitZero(dialog);
    ReadSetting("ShowDetails", &found);
    EXPECT_FALSE(found) << "closing wrote an unchanged overlay state";
    EXPECT_EQ(ReadFileBytes(HistoryFilePath()).size(), 512u);
}

TEST_F(DialogTest, EndSessionWritesTheFilesWithoutClosingOnlyWhenTheSessionEnds) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostKey(dialog, VK_F4));

    ASSERT_TRUE(PostToWindow(dialog, WM_ENDSESSION, FALSE));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    EXPECT_FALSE(FileExists(HistoryFilePath()));
    bool found = true;
    ReadSetting("ShowDetails", &found);
    EXPECT_FALSE(found);

    ASSERT_TRUE(PostToWindow(dialog, WM_ENDSESSION, TRUE));
    EXPECT_TRUE(WaitUntil([] { return ReadFileBytes(HistoryFilePath()).size() == 512; }));
    EXPECT_EQ(ReadSetting("ShowDetails"), "1");
    ASSERT_TRUE(RefreshAndWait(First, dialog)) << "the program no longer samples";
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(TrayEntryExists(dialog, TrayEntryGpu1));
    CloseAndExpectExitZero(dialog);
}

// ---- Help and right click ----

TEST_F(DialogTest, HelpOnTheGraphOpensOnlyTheGpuBoxElsewhereTheAboutBoxOneAtATime) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    HWND graph = GetDlgItem(dialog, GraphId);

    ASSERT_TRUE(PressF1On(graph));
    HWND box = ExpectBox(GpuInfoText, OkOnly);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(PressF1On(GetDlgItem(dialog, IDOK))); // while the box is up: nothing
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    ASSERT_EQ(CountMessageBoxes(First.ProcessId), 1);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    ExpectNoBox(dialog); // no about box after the GPU box

    for (HWND target : {GetDlgItem(dialog, IDOK), GetDlgItem(dialog, IntervalId), dialog}) {
        SCOPED_TRACE(target == dialog ? "the dialog" : "a control");
        ASSERT_TRUE(PressF1On(target));
        box = ExpectAboutBox();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(PressF1On(graph)); // while the box is up: nothing
        ASSERT_TRUE(RefreshAndWait(First, dialog));
        ASSERT_EQ(CountMessageBoxes(First.ProcessId), 1);
        ASSERT_TRUE(AnswerMessageBox(box, IDOK));
    }
    ExpectNoBox(dialog);
    CloseAndExpectExitZero(dialog);
}

TEST_F(DialogTest, RightClickOnTheGraphOpensTheGpuBoxElsewhereNothing) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    HWND graph = GetDlgItem(dialog, GraphId);

    ASSERT_TRUE(
        PostToWindow(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(graph), CentreOf(graph)));
    HWND box = ExpectBox(GpuInfoText, OkOnly);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    for (int id : {IDOK, ThresholdId, IntervalId}) {
        HWND control = GetDlgItem(dialog, id);
        ASSERT_TRUE(PostToWindow(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(control),
                                 CentreOf(control)));
    }
    ExpectNoBox(dialog);
    EXPECT_EQ(DialogWindowsOf(First.ProcessId).size(), 1u) << "something else opened";
    CloseAndExpectExitZero(dialog);
}

// ---- Display change ----

TEST_F(DialogTest, DisplayChangeAddsAndRemovesTheSecondTrayEntryTakingOneSampleEach) {
    ASSERT_TRUE(WriteSimScenario(ScenarioWithGpus(1)));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(TrayEntryExists(dialog, TrayEntryGpu1));
    ASSERT_FALSE(TrayEntryExists(dialog, TrayEntryGpu2));
    ASSERT_TRUE(WaitUntil([] { return TrayShowsTip(Gpu1Name); }));

    // A second GPU appears: its entry comes, the first entry is named "GPU 1", and one sample
    // reads both.
    ASSERT_TRUE(WriteSimScenario(ScenarioWithGpus(2)));
    ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
    EXPECT_TRUE(WaitUntil([&] { return TrayEntryExists(dialog, TrayEntryGpu2); }));
    EXPECT_TRUE(WaitUntil([] { return TrayShowsTip("GPU 1") && TrayShowsTip("GPU 2"); }));
    // Reads so far: one at start-up, one for the first sample, two for this one.
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 4, First.Process));
    EXPECT_EQ(CountSimCalls(ThermalCall, 2), 1);

    // It goes again: the entry goes, the first one is named after the GPU again.
    ASSERT_TRUE(WriteSimScenario(ScenarioWithGpus(1)));
    ASSERT_TRUE(PostToWindow(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 1024)));
    EXPECT_TRUE(WaitUntil([&] { return !TrayEntryExists(dialog, TrayEntryGpu2); }));
    EXPECT_TRUE(WaitUntil([] { return TrayShowsTip(Gpu1Name); }));
    ASSERT_TRUE(WaitForSimCalls(ThermalCall, 5, First.Process));
    EXPECT_TRUE(TrayEntryExists(dialog, TrayEntryGpu1));

    // Three samples: start-up, with two GPUs, with one again.
    CloseAndExpectExitZero(dialog);
    EXPECT_EQ(CountSimCalls(ThermalCall, 2), 1);
    EXPECT_TRUE(HistoryFileHolds(
        HistoryImage({Gpu1Core, Gpu1Core, Gpu1Core}, {EmptyHistoryByte, Gpu2Core})));
}

// ---- Font chooser ----

TEST_F(DialogTest, FontChooserCancelledWritesNothingAcceptedWritesSixKeysAndRedrawsTheTray) {
    constexpr COLORREF Fuchsia = RGB(255, 0, 255); // no other tray entry here uses it
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    const std::string settings = SettingsFileText();
    RECT trayCell = {};
    ASSERT_TRUE(WaitUntil([&] { return TrayCell(Gpu1Name, &trayCell); }))
        << "the notification area does not show the entry";
    ScreenImage tray;
    ASSERT_TRUE(CaptureScreen(trayCell, &tray));
    ASSERT_EQ(CountPixels(tray, Fuchsia), 0);

    // Cancelled. Sampling goes on while the chooser is up.
    ASSERT_TRUE(PostCommand(dialog, IconFontId));
    HWND chooser = WaitForFontChooser(First);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(RefreshAndWait(First, dialog)) << "no sample while the chooser is up";
    ASSERT_TRUE(PickChooserItem(chooser, ColourBox, [&](const std::string&, LRESULT colour) {
                    return static_cast<COLORREF>(colour) == Fuchsia;
                }) != "");
    ASSERT_TRUE(PostToWindow(chooser, WM_COMMAND, IDCANCEL));
    ASSERT_TRUE(WaitForWindowGone(chooser));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    EXPECT_EQ(SettingsFileText(), settings);

    // Accepted: a bold 12-point face in fuchsia.
    ASSERT_TRUE(PostCommand(dialog, IconFontId));
    chooser = WaitForFontChooser(First);
    ASSERT_NE(chooser, nullptr);
    const std::string face = PickChooserItem(
        chooser, FaceBox, [](const std::string& text, LRESULT) { return text != "Arial"; });
    ASSERT_NE(face, "");
    ASSERT_EQ(PickChooserItem(chooser, StyleBox,
                              [](const std::string& text, LRESULT) { return text == "Bold"; }),
              "Bold");
    ASSERT_EQ(PickChooserItem(chooser, SizeBox,
                              [](const std::string& text, LRESULT) { return text == "12"; }),
              "12");
    ASSERT_TRUE(PickChooserItem(chooser, ColourBox, [&](const std::string&, LRESULT colour) {
                    return static_cast<COLORREF>(colour) == Fuchsia;
                }) != "");
    ASSERT_TRUE(PostToWindow(chooser, WM_COMMAND, IDOK));
    ASSERT_TRUE(WaitForWindowGone(chooser));

    ASSERT_TRUE(WaitUntil([] { return !ReadSetting("FaceName").empty(); }));
    EXPECT_EQ(SettingKeysInOrder(),
              (std::vector<std::string>{"RunHidden", "IconColor", "Height", "Weight", "Italic",
                                        "PitchAndFamily", "FaceName"}));
    EXPECT_EQ(ReadSetting("IconColor"), std::to_string(Fuchsia));
    EXPECT_EQ(ReadSetting("Height"), "-16"); // 12 points at 96 pixels per inch
    EXPECT_EQ(ReadSetting("Weight"), "700");
    EXPECT_EQ(ReadSetting("Italic"), "0");
    const std::string pitchAndFamily = ReadSetting("PitchAndFamily");
    EXPECT_TRUE(!pitchAndFamily.empty() && pitchAndFamily.size() <= 3 &&
                pitchAndFamily.find_first_not_of("0123456789") == std::string::npos)
        << pitchAndFamily;
    EXPECT_EQ(ReadSetting("FaceName"), face);

    // The temperature has not changed, so only the redraw after the choice can show the colour.
    EXPECT_TRUE(WaitUntil([&] {
        return CaptureScreen(trayCell, &tray) && CountPixels(tray, Fuchsia) > 0;
    })) << "the tray number was not redrawn in the chosen colour";
    CloseAndExpectExitZero(dialog);
}

// ---- Display settings ----

TEST_F(DialogTest, DisplaySettingsKeyHidesTheWindowOnlyWhenTheControlPanelStarts) {
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostKey(dialog, VK_F6));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    EXPECT_EQ(CountMessageBoxes(First.ProcessId), 0) << "a failure is not reported";
    if (!IsWindowVisible(dialog)) {
        // The control panel started (Wine 8.0 has none, so there the window stays): the window
        // went to the tray. Close the panel, then bring the window back.
        for (DWORD panel : ProcessesStartedBy(First.ProcessId)) {
            CloseStartedProcess(panel);
        }
        ASSERT_TRUE(ClickTrayEntry(dialog, TrayEntryGpu1));
        EXPECT_TRUE(WaitForVisible(dialog, true));
    } else {
        EXPECT_TRUE(ProcessesStartedBy(First.ProcessId).empty())
            << "the control panel started but the window stayed";
    }
    CloseAndExpectExitZero(dialog);
}

TEST_F(DialogTest, DisplaySettingsKeyNeverRunsAPanelPlantedBesideTheProgram) {
    // Windows opens a control-panel item by default; Wine's prefix has no default verb for it
    // until it is told, and then a bare "desk.cpl" runs the one in the current folder.
    RegistryValueOverride openByDefault(HKEY_CLASSES_ROOT, L"cplfile\\shell", L"", REG_SZ,
                                        L"cplopen");
    ASSERT_TRUE(openByDefault.Applied());
    const std::string exe = KelvaneExePath();
    const std::string copy = KelvaneCopyBesidePlantedFile(
        "planted-panel", "desk.cpl",
        ReadFileBytes(exe.substr(0, exe.rfind('\\')) + "\\planted_panel.dll"));
    ASSERT_FALSE(copy.empty());
    // Started in its own folder, which is then its current folder.
    HWND dialog = StartShown(1, copy);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(PostKey(dialog, VK_F6));
    ASSERT_TRUE(RefreshAndWait(First, dialog));
    // Wine 8.0 has no display control panel in its system folder: nothing starts.
    EXPECT_TRUE(IsWindowVisible(dialog)) << "a control panel started";
    EXPECT_FALSE(FileExists(copy.substr(0, copy.rfind('\\')) + "\\desk.cpl.ran"))
        << "the planted panel ran";
    for (DWORD panel : ProcessesStartedBy(First.ProcessId)) {
        CloseStartedProcess(panel);
    }
    CloseAndExpectExitZero(dialog);
}

// ---- German interface ----

TEST_F(DialogGermanTest, GermanDialogShowsGermanTextsAndBoxes) {
    ASSERT_TRUE(WriteHistoryFile(HistoryWithTenSamples()));
    HWND dialog = StartShown();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ReadControlText(dialog, IDOK), "&OK");
    EXPECT_EQ(ReadControlText(dialog, ApplyId), "&Anwenden");
    EXPECT_EQ(ReadControlText(dialog, IconFontId), "&Symbol...");
    EXPECT_EQ(LabelTexts(dialog), (std::vector<std::string>{"A&ktualisierungsintervall", "4,0 s",
                                                            "60 s", "&Warnmeldung bei:",
                                                            "\xB0"
                                                            "C"}));

    ASSERT_TRUE(PostKey(dialog, VK_F10));
    HWND box = ExpectBox("GPU: NVIDIA GeForce GTX 1080\r\nTreiberversion: 531.12", OkOnly);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDOK));

    ASSERT_TRUE(MoveTrackbar(dialog, 20));
    ASSERT_TRUE(PostCommand(dialog, ApplyId));
    box = ExpectBox("Der Verlauf der Kerntemperatur kann nicht an die neue\r\n"
                    "Ma\xDF"
                    "einteilung angepasst werden und wird gel\xF6scht.",
                    OkCancel);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(AnswerMessageBox(box, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return TrackbarPosition(dialog) == 60; }));
    CloseAndExpectExitZero(dialog);
}

} // namespace
