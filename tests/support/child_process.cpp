#include "support/child_process.h"

#include <windows.h>

#include <string>

namespace {

// Names the marker file the child creates when it enters the test.
constexpr char ChildMarkerVariable[] = "KELVANE_CHILD_TEST_MARKER";
constexpr DWORD ChildTimeoutMs = 60000;

std::string TempFolder() {
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    return length > 0 && length < sizeof folder ? folder : ".\\";
}

std::string OverrideKey(const std::string& programName) {
    return "Software\\Wine\\AppDefaults\\" + programName;
}

bool DisableDllFor(const std::string& programName, const char* dllBaseName) {
    HKEY key = nullptr;
    std::string path = OverrideKey(programName) + "\\DllOverrides";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    // An empty load order means: never load it.
    bool ok = RegSetValueExA(key, dllBaseName, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// Runs commandLine and waits for it; -1 when it cannot be started or does not end in time.
int RunAndWait(const std::string& program, std::string commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    int result = -1;
    if (WaitForSingleObject(process.hProcess, ChildTimeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            result = static_cast<int>(code);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, ChildTimeoutMs);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

// The copy may stay mapped for a moment after its process has ended.
void DeleteWhenReleased(const std::string& path) {
    for (int attempt = 0; attempt < 200 && !DeleteFileA(path.c_str()) &&
                          GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++attempt)
        Sleep(10);
}

} // namespace

bool EnterChildTest() {
    char marker[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(ChildMarkerVariable, marker, sizeof marker);
    if (length == 0 || length >= sizeof marker)
        return false;
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return true;
}

int RunTestWithoutDll(const char* testName, const char* dllBaseName) {
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self)
        return -1;
    std::string stem = "kelvane-child-" + std::to_string(GetCurrentProcessId());
    std::string programName = stem + ".exe";
    std::string copy = TempFolder() + programName;
    std::string marker = TempFolder() + stem + ".ran";
    DeleteFileA(marker.c_str());

    int result = -1;
    if (CopyFileA(self, copy.c_str(), FALSE) && DisableDllFor(programName, dllBaseName) &&
        SetEnvironmentVariableA(ChildMarkerVariable, marker.c_str())) {
        result = RunAndWait(copy, "\"" + copy + "\" --gtest_filter=" + testName);
        if (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES)
            result = -1;
    }
    SetEnvironmentVariableA(ChildMarkerVariable, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, OverrideKey(programName).c_str());
    DeleteWhenReleased(copy);
    DeleteFileA(marker.c_str());
    return result;
}
