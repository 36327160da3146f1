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
#include <cctype>
#include <cstring>
#include <string>

#include "harness.h"

namespace {

// The encoding of a pipe or file the output goes to: UTF-8 when the Unix locale Wine was started
// in is a UTF-8 one (Wine passes LC_ALL, LC_CTYPE and LANG on), else the ANSI code page.
UINT PipeCodePage() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        char value[128] = "";
        const DWORD length = GetEnvironmentVariableA(variable, value, sizeof value);
        if (length == 0 || length >= sizeof value)
            continue;
        std::string locale = value;
        for (char& c : locale)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool utf8 =
            locale.find("utf-8") != std::string::npos || locale.find("utf8") != std::string::npos;
        return utf8 ? CP_UTF8 : CP_ACP;
    }
    return CP_ACP;
}

// Prints one line. Kelvane's texts come in the ANSI code page (1252, "F\xFCr"); the terminal shows
// them in its own encoding: Wine's console converts wide text itself, other outputs get it
// converted here.
void Say(const std::string& text) {
    const std::string line = "kelvane_launcher: " + text + "\n";
    std::wstring wide(line.size(), L'\0');
    const int wideLength =
        MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                            static_cast<int>(wide.size()));
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wideLength), &written, nullptr);
        return;
    }
    std::string bytes(static_cast<std::size_t>(wideLength) * 4, '\0');
    const int length = WideCharToMultiByte(PipeCodePage(), 0, wide.data(), wideLength, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(length), &written, nullptr);
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
        Say("cannot start " + KelvaneExePath());
        return 1;
    }

    HWND box = WaitForMessageBox(kelvane);
    if (box) {
        const MessageBoxView view = ReadMessageBox(box);
        if (view.Text == VendorWarningText()) {
            Say("Kelvane warned \"" + view.Text + "\" (caption \"" + view.Caption +
                "\"): Wine's display adapter is no NVIDIA one. Answered Ignore for you.");
            AnswerMessageBox(box, IDIGNORE);
        } else {
            Say("Kelvane shows \"" + view.Text + "\"; left for you to answer.");
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
    Say("Kelvane ended with exit code " + std::to_string(exitCode) + ".");
    return static_cast<int>(exitCode);
}
