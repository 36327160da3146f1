// kelvane_launcher [--show | --close]: starts Kelvane.exe from its own folder for a person watching
// under Wine, where every start first warns that the display adapter is not an NVIDIA one. It
// answers that warning with Ignore, says so, and waits until Kelvane ends, returning its exit code.
//
// With --show, a Kelvane that started hidden in the notification area (its settings say
// RunHidden=1 after the first start) gets its window brought up the program's own way: by a
// second start, which fronts the running instance and ends.
//
// With --close it closes the running Kelvane of its desktop instead, the way the window's close
// button does (so Kelvane saves its history), and waits until it has ended.
//
// The environment (NVAPI_SIM_SCENARIO and the like) passes to Kelvane unchanged.
#include <cstdio>
#include <cstring>

#include "harness.h"

namespace {

void Say(const char* text) {
    std::printf("kelvane_launcher: %s\n", text);
    std::fflush(stdout);
}

// Windows of other processes are found only on this process's desktop.
int CloseRunningKelvane() {
    HWND dialog = FindWindowA("#32770", "Kelvane");
    if (!dialog || !IsMainDialog(dialog)) {
        Say("no running Kelvane found.");
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    PostToWindow(dialog, WM_CLOSE);
    const bool ended = process && WaitForSingleObject(process, StateTimeoutMs) == WAIT_OBJECT_0;
    if (process) {
        CloseHandle(process);
    }
    Say(ended ? "Kelvane closed." : "Kelvane did not close.");
    return ended ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--close") == 0) {
        return CloseRunningKelvane();
    }
    const bool show = argc > 1 && std::strcmp(argv[1], "--show") == 0;
    // Read before the start: the first shown start writes RunHidden=1 itself.
    const bool startsHidden = ReadSetting("RunHidden") != "" && ReadSetting("RunHidden") != "0";

    ChildProcess kelvane;
    if (!StartProgram(&kelvane, KelvaneExePath())) {
        std::printf("kelvane_launcher: cannot start %s\n", KelvaneExePath().c_str());
        return 1;
    }

    HWND box = WaitForMessageBox(kelvane);
    if (box) {
        const MessageBoxView view = ReadMessageBox(box);
        if (view.Text == VendorWarningText()) {
            std::printf("kelvane_launcher: Kelvane warned \"%s\" (caption \"%s\"): Wine's display "
                        "adapter is no NVIDIA one. Answered Ignore for you.\n",
                        view.Text.c_str(), view.Caption.c_str());
            std::fflush(stdout);
            AnswerMessageBox(box, IDIGNORE);
        } else {
            std::printf("kelvane_launcher: Kelvane shows \"%s\"; left for you to answer.\n",
                        view.Text.c_str());
            std::fflush(stdout);
        }
    }

    HWND dialog = WaitForMainDialog(kelvane, INFINITE);
    if (dialog) {
        if (show && startsHidden) {
            Say("Kelvane started hidden in the notification area (RunHidden=1); starting it once "
                "more brings its window up.");
            ChildProcess second;
            if (StartProgram(&second, KelvaneExePath())) {
                WaitForExit(&second, nullptr);
                StopProcess(&second);
            }
        }
        Say("Kelvane is running; close its window (title-bar close button) to end it.");
    }

    DWORD exitCode = 0;
    WaitForExit(&kelvane, &exitCode, INFINITE);
    StopProcess(&kelvane);
    std::printf("kelvane_launcher: Kelvane ended with exit code %lu.\n", exitCode);
    return static_cast<int>(exitCode);
}
