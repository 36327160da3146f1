// End-to-end harness: starts the real Kelvane.exe under the simulated driver library and drives it
// from outside, the way a user and the system would: through its files, its windows and the
// messages posted to them. Plain functions; nothing here needs GoogleTest, so small tools (the
// demo launcher) use it too.
//
// Every wait polls for a state with a generous limit and reports whether the state was reached;
// nothing waits for a fixed time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Generous limit for a state to be reached: Wine starts a process in about a second and the
// program reaches its first sample within a few more, but a loaded machine can be much slower.
inline constexpr DWORD StateTimeoutMs = 60000;

// ---- Program and data folder ----

// Full path of Kelvane.exe, which the build puts into the same folder as the test programs.
std::string KelvaneExePath();

// The program's data folder, %APPDATA%\Ostrel-Tools\Kelvane, without a trailing backslash, and
// the two files in it.
std::string DataFolderPath();
std::string SettingsFilePath();
std::string HistoryFilePath();
// The name a new history file is written under before it replaces Kelvane.dat.
std::string HistoryTempFilePath();

// True when a file or folder exists at path.
bool FileExists(const std::string& path);

// Removes the data folder with everything in it (the "Ostrel-Tools" folder stays). True when
// the folder no longer exists afterwards.
bool RemoveDataFolder();

// True when the data folder exists.
bool DataFolderExists();

// Creates the data folder when missing and writes Kelvane.ini with exactly this text (for
// example "[Settings]\r\nRunHidden=1\r\n"). True when the whole text was written.
bool WriteSettingsFile(const std::string& text);

// Value of a key of section "Settings" in Kelvane.ini; found is false (and the result empty)
// when the key or the file is missing.
std::string ReadSetting(const char* key, bool* found = nullptr);

// Creates the data folder when missing and writes Kelvane.dat with exactly these bytes.
bool WriteHistoryFile(const std::vector<std::uint8_t>& bytes);

// The raw bytes of a file; exists is false (and the result empty) when it cannot be opened.
// The wide form also reads files whose names the ANSI code page cannot spell.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path, bool* exists = nullptr);
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path, bool* exists = nullptr);

// ---- Simulated driver ----
// The scenario and the call log are those of tests/support/sim_scenario.h (WriteSimScenario,
// StartSimCallLog, CountSimCalls): this process's environment names them, so every program it
// starts uses them.

// The driver function whose calls count the program's thermal readings.
inline constexpr char ThermalCall[] = "NvAPI_GPU_GetThermalSettings";

// Waits until the call log holds at least count calls of the function, or until the process
// (when given) has ended. True when the count was reached.
bool WaitForSimCalls(const char* function, int count, HANDLE process = nullptr,
                     DWORD timeoutMs = StateTimeoutMs);

// ---- Processes ----

// One started program. Processes are put into a job that ends them when the job handle closes,
// so even a test program that dies leaves no Kelvane behind.
struct ChildProcess {
    HANDLE Process = nullptr;
    DWORD ProcessId = 0;
    HANDLE Job = nullptr;
};

// Extra environment entries for the child, "NAME=value" each; they replace entries of the same
// name taken over from this process's environment.
using EnvironmentEntries = std::vector<std::string>;

// Starts a program with this process's environment changed by the extra entries, its folder as
// the working folder, and no command-line arguments. True when the process was created.
bool StartProgram(ChildProcess* child, const std::string& exePath,
                  const EnvironmentEntries& extra = {});

// Starts Kelvane.exe (or the copy at exePath) with this process's environment, which names the
// simulated driver's scenario and call log, changed by the extra entries.
bool StartKelvane(ChildProcess* child, const EnvironmentEntries& extra = {},
                  const std::string& exePath = {});

// A copy of Kelvane.exe under the name KelvaneNoDriver.exe for which Wine loads no
// nvapi64.dll: HKCU\Software\Wine\AppDefaults\KelvaneNoDriver.exe\DllOverrides holds an
// empty load order for it, which touches no other program. (WINEDLLOVERRIDES in the environment
// block given to CreateProcess does not reach the child: Wine passes its own.) Returns the copy's
// path, empty on failure.
std::string KelvaneCopyWithoutDriverLibrary();

// A copy of Kelvane.exe in a folder of its own, beside a file "nvapi64.dll" that is no program
// library, as a planted library would lie there. Returns the copy's path, empty on failure.
std::string KelvaneCopyBesidePlantedLibrary();

// A copy of Kelvane.exe in the folder `folder` of the tests' temporary folder, made afresh,
// beside a file `plantedName` holding these bytes. Returns the copy's path, empty on failure.
std::string KelvaneCopyBesidePlantedFile(const std::string& folder, const std::string& plantedName,
                                         const std::vector<std::uint8_t>& bytes);

// The tests' temporary folder, without a trailing backslash; created when missing.
std::string TestTempFolder();

// Removes a folder with everything in it. True when it no longer exists afterwards.
bool RemoveFolderTree(const std::wstring& folder);

// True while the process runs.
bool IsRunning(const ChildProcess& child);

// Waits until the process has ended and gives its exit code. False on timeout.
bool WaitForExit(ChildProcess* child, DWORD* exitCode, DWORD timeoutMs = StateTimeoutMs);

// Ends the process if it still runs (test failure or leftover) and closes its handles.
void StopProcess(ChildProcess* child);

// Ends every program that shows a "Kelvane" main dialog, by the id of the window's process:
// a stray instance from an earlier, crashed test would otherwise hold the single-instance guard.
// Returns how many were ended.
int EndStrayInstances();

// ---- Windows ----

// Top-level dialog-class ("#32770") windows of a process, visible or not.
std::vector<HWND> DialogWindowsOf(DWORD processId);

// The main dialog: title "Kelvane" with the graph control 1001.
bool IsMainDialog(HWND window);

// A message box: a dialog with the text static 0xFFFF that is not the main dialog.
bool IsMessageBox(HWND window);

// The main dialog of the process, or nullptr.
HWND FindMainDialog(DWORD processId);

// Waits until the process has its main dialog; nullptr when it ended first or on timeout.
HWND WaitForMainDialog(const ChildProcess& child, DWORD timeoutMs = StateTimeoutMs);

// Waits until the process shows a message box that is visible and initialised, other than
// `except` (a box just answered may still be on its way out). nullptr when the process ended
// first or on timeout.
HWND WaitForMessageBox(const ChildProcess& child, HWND except = nullptr,
                       DWORD timeoutMs = StateTimeoutMs);

// What a message box shows.
struct MessageBoxView {
    std::string Caption;
    std::string Text;
    std::vector<int> Buttons; // the button ids present, in the order IDOK, IDCANCEL, IDABORT,
                              // IDRETRY, IDIGNORE, IDYES, IDNO
};
MessageBoxView ReadMessageBox(HWND box);

// Posts the button's command to the box and waits until the box is destroyed (focus may rest
// on a dying box for a moment, so keys sent earlier could go astray). True when it is gone.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = StateTimeoutMs);

// Waits until the window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = StateTimeoutMs);

// Waits until the window's visibility is as asked.
bool WaitForVisible(HWND window, bool visible, DWORD timeoutMs = StateTimeoutMs);

// Under Wine the primary adapter is not an NVIDIA one, so every start asks Abort/Retry/Ignore
// first. Waits for that box, records what it showed in *seen (when given) and answers it.
// False when no box came or it could not be answered.
bool AnswerVendorWarning(const ChildProcess& child, int answer = IDIGNORE,
                         MessageBoxView* seen = nullptr);

// Texts the program shows in the user's language (decided like the program does, from this
// process's default language, which a child started from here shares under Wine).
bool UiIsGerman();
const char* VendorWarningText();
const char* DriverLibraryErrorText();

// The adapter's device string under Wine: the caption of the start-up boxes.
inline constexpr char WineAdapterName[] = "Wine Adapter";

// Posts a message to a window of another process. True when it was queued.
bool PostToWindow(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Posts WM_COMMAND with this command id (high word 0), as a button click would.
bool PostCommand(HWND dialog, int commandId);

// Posts a key press and release to the window (posted keys go through the receiver's
// accelerator translation).
bool PostKey(HWND window, UINT virtualKey);

// Text of a control of another process's dialog, read with WM_GETTEXT (which also works for
// edit controls, whose text is kept by the control itself). Empty when the control is missing.
std::string ReadControlText(HWND dialog, int controlId);

// Sends a message to a window of another process and gives its result, 0 when it was not
// handled in time. Only for messages without pointers, or whose pointers the system carries
// between processes (WM_SETTEXT, WM_GETTEXT, CB_GETLBTEXT).
LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Replaces a control's text with WM_SETTEXT, as pasting would; an edit control then notifies
// its dialog with EN_CHANGE. True when the control took the text.
bool SetControlText(HWND dialog, int controlId, const std::string& text);

// Number of visible message boxes the process shows.
int CountMessageBoxes(DWORD processId);

// ---- The program's own messages ----

inline constexpr UINT TrayCallbackMessage = 0x802A; // callback of the notification-area entries
inline constexpr UINT RefreshNowMessage = 0x802B;   // a sample that does not advance the history
inline constexpr UINT TrayEntryGpu1 = 4242;
inline constexpr UINT TrayEntryGpu2 = 4243;

// Posts a refresh and waits until the program has read GPU 1 for it and finished handling it
// (false when it ended first). Messages posted to the program before it have then been handled,
// modal boxes or not. A timer sample in between can end the wait early, so use it before
// checking that something did NOT happen: an early end can only let such a check see less,
// never fail it.
bool RefreshAndWait(const ChildProcess& child, HWND dialog);

// Posts a left-button press on a notification-area entry, as the shell reports it.
bool ClickTrayEntry(HWND dialog, UINT entryId);

// Whether the notification area holds this entry of the window (of any process): a
// modification that names no member changes nothing and succeeds only for an existing entry.
bool TrayEntryExists(HWND owner, UINT entryId);

// ---- Settings file ----

// Removes a key from section "Settings" of Kelvane.ini. Wine's profile functions leave the file
// untouched when a write would store the text already there, so a check that a key is NOT
// written again removes it first and then expects it still missing.
bool RemoveSetting(const char* key);

// The whole text of Kelvane.ini (empty when it is missing).
std::string SettingsFileText();

// ---- Screen ----

// Pixels of a screen area, row by row from the top, as COLORREF values (0x00BBGGRR).
struct ScreenImage {
    int Width = 0;
    int Height = 0;
    std::vector<COLORREF> Pixels;

    COLORREF At(int x, int y) const { return Pixels[static_cast<std::size_t>(y * Width + x)]; }
};

// Copies an area of this desktop's screen, as it is composed of every program's windows.
// False when the area is empty or cannot be read.
bool CaptureScreen(const RECT& area, ScreenImage* image);

// Writes the image as a PNG file (8-bit RGB, uncompressed deflate blocks). True when the whole
// file was written.
bool WritePngFile(const std::string& path, const ScreenImage& image);

// ---- Registry ----

// Sets one registry value while it lives, then puts back what was there before (the old type
// and data, or no value), whichever way the test ends. An empty name is the key's default value.
// Tests change only the throw-away Wine prefix's registry.
class RegistryValueOverride {
  public:
    RegistryValueOverride(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD type,
                          const std::wstring& text);
    ~RegistryValueOverride();
    RegistryValueOverride(const RegistryValueOverride&) = delete;
    RegistryValueOverride& operator=(const RegistryValueOverride&) = delete;

    // True when the new value was stored.
    bool Applied() const { return Stored; }

  private:
    HKEY Key = nullptr;
    std::wstring Name;
    bool HadValue = false;
    DWORD OldType = REG_NONE;
    std::vector<BYTE> OldData;
    bool Stored = false;
};

// Polls condition() until it holds or the time is up.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = StateTimeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(20);
    }
}
