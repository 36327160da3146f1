#include "harness.h"

#include "support/sim_scenario.h"
#include "support/window_text.h"
#include "support/top_down_bitmap.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::wstring Widen(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length - 1 : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

bool EnsureDataFolder() {
    const std::string folder = DataFolderPath();
    CreateDirectoryA(FolderOf(folder).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

// Name part of an environment entry "NAME=value"; entries such as "=C:=C:\" keep their leading
// '=' as part of the name.
std::string EntryName(const std::string& entry) {
    const std::size_t equals = entry.find('=', 1);
    return equals == std::string::npos ? entry : entry.substr(0, equals);
}

bool SameName(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

// This process's environment with the given entries replacing those of the same name, as a
// block of terminated strings ending with an empty one.
std::vector<char> BuildEnvironment(const EnvironmentEntries& overrides) {
    std::vector<std::string> entries;
    if (char* block = GetEnvironmentStringsA()) {
        for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsA(block);
    }
    for (const std::string& override : overrides) {
        const std::string name = EntryName(override);
        std::erase_if(entries, [&](const std::string& e) { return SameName(EntryName(e), name); });
        entries.push_back(override);
    }
    std::vector<char> block;
    for (const std::string& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

struct DialogSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->ProcessId && WindowClass(window) == "#32770") {
        search->Found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK CollectMainDialogs(HWND window, LPARAM parameter) {
    if (WindowClass(window) == "#32770" && IsMainDialog(window)) {
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    }
    return TRUE;
}

bool ProcessEnded(HANDLE process) {
    return process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
}

std::string ProcessImagePath(HANDLE process) {
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, path, &size)) {
        return {};
    }
    return path;
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
    const std::size_t length = std::strlen(tail);
    return text.size() >= length && SameName(text.substr(text.size() - length), tail);
}

} // namespace

// ---- Program and data folder ----

std::string KelvaneExePath() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    return FolderOf(self) + "\\Kelvane.exe";
}

std::string DataFolderPath() {
    char appData[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE);
    std::string folder = appData;
    if (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder + "\\Ostrel-Tools\\Kelvane";
}

std::string SettingsFilePath() {
    return DataFolderPath() + "\\Kelvane.ini";
}

std::string HistoryFilePath() {
    return DataFolderPath() + "\\Kelvane.dat";
}

std::string HistoryTempFilePath() {
    return DataFolderPath() + "\\Kelvane.new";
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TestTempFolder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    folder += "kelvane-e2e";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Wide, so that it also removes names the ANSI code page cannot spell.
bool RemoveFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (std::wcscmp(entry.cFileName, L".") == 0 ||
                std::wcscmp(entry.cFileName, L"..") == 0) {
                continue;
            }
            const std::wstring path = folder + L"\\" + entry.cFileName;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
    return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool RemoveDataFolder() {
    return RemoveFolderTree(Widen(DataFolderPath()));
}

bool DataFolderExists() {
    const DWORD attributes = GetFileAttributesA(DataFolderPath().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteSettingsFile(const std::string& text) {
    return EnsureDataFolder() && WriteWholeFile(SettingsFilePath(), text.data(), text.size());
}

std::string ReadSetting(const char* key, bool* found) {
    // A value can never hold a newline, so the marker tells a missing key from an empty value.
    static const char missing[] = "\n";
    char value[512] = "";
    GetPrivateProfileStringA("Settings", key, missing, value, sizeof value,
                             SettingsFilePath().c_str());
    const bool present = std::strcmp(value, missing) != 0;
    if (found) {
        *found = present;
    }
    return present ? value : "";
}

bool WriteHistoryFile(const std::vector<std::uint8_t>& bytes) {
    return EnsureDataFolder() && WriteWholeFile(HistoryFilePath(), bytes.data(), bytes.size());
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path, bool* exists) {
    return ReadFileBytes(Widen(path), exists);
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path, bool* exists) {
    std::vector<std::uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists) {
        *exists = file != INVALID_HANDLE_VALUE;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    std::uint8_t chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return bytes;
}

// ---- Simulated driver ----

bool WaitForSimCalls(const char* function, int count, HANDLE process, DWORD timeoutMs) {
    bool reached = false;
    WaitUntil(
        [&] {
            reached = CountSimCalls(function) >= count;
            return reached || ProcessEnded(process);
        },
        timeoutMs);
    return reached;
}

// ---- Processes ----

bool StartProgram(ChildProcess* child, const std::string& program,
                  const EnvironmentEntries& extra) {
    std::vector<char> environment = BuildEnvironment(extra);
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, environment.data(), FolderOf(program).c_str(), &startup,
                        &info)) {
        return false;
    }

    // The job ends the program when its last handle closes, also when this process dies.
    child->Job = CreateJobObjectA(nullptr, nullptr);
    if (child->Job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(child->Job, JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
        AssignProcessToJobObject(child->Job, info.hProcess);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    child->Process = info.hProcess;
    child->ProcessId = info.dwProcessId;
    return true;
}

bool StartKelvane(ChildProcess* child, const EnvironmentEntries& extra,
                  const std::string& exePath) {
    return StartProgram(child, exePath.empty() ? KelvaneExePath() : exePath, extra);
}

std::string KelvaneCopyWithoutDriverLibrary() {
    static const char name[] = "KelvaneNoDriver.exe";
    const std::string copy = TestTempFolder() + "\\" + name;
    if (!CopyFileA(KelvaneExePath().c_str(), copy.c_str(), FALSE)) {
        return {};
    }
    HKEY key = nullptr;
    const std::string keyPath =
        std::string("Software\\Wine\\AppDefaults\\") + name + "\\DllOverrides";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    // An empty load order: never load it.
    const LSTATUS status =
        RegSetValueExA(key, "nvapi64", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? copy : std::string();
}

std::string KelvaneCopyBesidePlantedLibrary() {
    static const char notALibrary[] = "not a program library\r\n";
    return KelvaneCopyBesidePlantedFile("planted-library", "nvapi64.dll",
                                        {notALibrary, notALibrary + sizeof notALibrary - 1});
}

std::string KelvaneCopyBesidePlantedFile(const std::string& folderName,
                                         const std::string& plantedName,
                                         const std::vector<std::uint8_t>& bytes) {
    const std::string folder = TestTempFolder() + "\\" + folderName;
    RemoveFolderTree(Widen(folder));
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\Kelvane.exe";
    if (!CopyFileA(KelvaneExePath().c_str(), copy.c_str(), FALSE) ||
        !WriteWholeFile(folder + "\\" + plantedName, bytes.data(), bytes.size())) {
        return {};
    }
    return copy;
}

bool IsRunning(const ChildProcess& child) {
    return child.Process && !ProcessEnded(child.Process);
}

bool WaitForExit(ChildProcess* child, DWORD* exitCode, DWORD timeoutMs) {
    if (!child->Process || WaitForSingleObject(child->Process, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    GetExitCodeProcess(child->Process, &code);
    if (exitCode) {
        *exitCode = code;
    }
    return true;
}

void StopProcess(ChildProcess* child) {
    if (child->Process) {
        if (!ProcessEnded(child->Process)) {
            TerminateProcess(child->Process, 1);
            WaitForSingleObject(child->Process, StateTimeoutMs);
        }
        CloseHandle(child->Process);
    }
    if (child->Job) {
        CloseHandle(child->Job);
    }
    *child = ChildProcess{};
}

int EndStrayInstances() {
    std::vector<HWND> dialogs;
    EnumWindows(CollectMainDialogs, reinterpret_cast<LPARAM>(&dialogs));
    int ended = 0;
    for (HWND dialog : dialogs) {
        DWORD processId = 0;
        GetWindowThreadProcessId(dialog, &processId);
        if (processId == GetCurrentProcessId()) {
            continue;
        }
        HANDLE process = OpenProcess(
            PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId);
        if (!process) {
            continue;
        }
        // Only the program itself: a test program of another tier may own such a dialog.
        if (EndsWithNoCase(ProcessImagePath(process), "\\Kelvane.exe") &&
            TerminateProcess(process, 1)) {
            WaitForSingleObject(process, StateTimeoutMs);
            ++ended;
        }
        CloseHandle(process);
    }
    return ended;
}

// ---- Windows ----

std::vector<HWND> DialogWindowsOf(DWORD processId) {
    DialogSearch search = {processId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

bool IsMainDialog(HWND window) {
    return WindowText(window) == "Kelvane" && GetDlgItem(window, 1001) != nullptr;
}

bool IsMessageBox(HWND window) {
    return !IsMainDialog(window) && GetDlgItem(window, 0xFFFF) != nullptr;
}

HWND FindMainDialog(DWORD processId) {
    for (HWND window : DialogWindowsOf(processId)) {
        if (IsMainDialog(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND WaitForMainDialog(const ChildProcess& child, DWORD timeoutMs) {
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            dialog = FindMainDialog(child.ProcessId);
            return dialog != nullptr || !IsRunning(child);
        },
        timeoutMs);
    return dialog;
}

HWND WaitForMessageBox(const ChildProcess& child, HWND except, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : DialogWindowsOf(child.ProcessId)) {
                // A box becomes visible once its text and buttons are in place.
                if (window != except && IsMessageBox(window) && IsWindowVisible(window)) {
                    box = window;
                    return true;
                }
            }
            return !IsRunning(child);
        },
        timeoutMs);
    return box;
}

MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view;
    view.Caption = WindowText(box);
    view.Text = WindowText(GetDlgItem(box, 0xFFFF));
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) {
            view.Buttons.push_back(id);
        }
    }
    return view;
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
    return PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(buttonId), 0) &&
           WaitForWindowGone(box, timeoutMs);
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window); }, timeoutMs);
}

bool WaitForVisible(HWND window, bool visible, DWORD timeoutMs) {
    return WaitUntil([&] { return (IsWindowVisible(window) != FALSE) == visible; }, timeoutMs);
}

bool AnswerVendorWarning(const ChildProcess& child, int answer, MessageBoxView* seen) {
    HWND box = WaitForMessageBox(child);
    if (!box) {
        return false;
    }
    const MessageBoxView view = ReadMessageBox(box);
    if (seen) {
        *seen = view;
    }
    return view.Text == VendorWarningText() && AnswerMessageBox(box, answer);
}

bool UiIsGerman() {
    return PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN;
}

const char* VendorWarningText() {
    return UiIsGerman() ? "F\xFCr dieses Programm ist ein Grafikprozessor der NVIDIA Corporation "
                          "erforderlich."
                        : "This program requires a GPU of NVIDIA Corporation.";
}

const char* DriverLibraryErrorText() {
    return UiIsGerman() ? "Die NVIDIA NVAPI Library \"nvapi.dll\" konnte nicht geladen werden."
                        : "The NVIDIA NVAPI Library \"nvapi.dll\" could not be loaded.";
}

bool PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam) != FALSE;
}

bool PostCommand(HWND dialog, int commandId) {
    return PostToWindow(dialog, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

bool PostKey(HWND window, UINT virtualKey) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM releaseFlags = (1LL << 30) | (1LL << 31);
    return PostToWindow(window, WM_KEYDOWN, virtualKey, 1 | scan) &&
           PostToWindow(window, WM_KEYUP, virtualKey, 1 | scan | releaseFlags);
}

std::string ReadControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) {
        return {};
    }
    char text[512] = "";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, StateTimeoutMs, &result)) {
        return {};
    }
    return text;
}

LRESULT SendToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, StateTimeoutMs,
                             &result)) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

bool SetControlText(HWND dialog, int controlId, const std::string& text) {
    HWND control = GetDlgItem(dialog, controlId);
    return control &&
           SendToWindow(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

int CountMessageBoxes(DWORD processId) {
    int count = 0;
    for (HWND window : DialogWindowsOf(processId)) {
        if (IsMessageBox(window) && IsWindowVisible(window)) {
            ++count;
        }
    }
    return count;
}

// ---- The program's own messages ----

bool RefreshAndWait(const ChildProcess& child, HWND dialog) {
    const int before = CountSimCalls(ThermalCall, 1);
    if (!PostToWindow(dialog, RefreshNowMessage)) {
        return false;
    }
    bool read = false;
    WaitUntil([&] {
        read = CountSimCalls(ThermalCall, 1) > before;
        return read || !IsRunning(child);
    });
    if (!read) {
        return false;
    }
    // The program handles a message sent from another thread when it next waits: after the
    // refresh, unless the refresh itself waited on another program (as a tray update does).
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, StateTimeoutMs, &result) !=
           0;
}

bool ClickTrayEntry(HWND dialog, UINT entryId) {
    return PostToWindow(dialog, TrayCallbackMessage, entryId, WM_LBUTTONDOWN);
}

bool TrayEntryExists(HWND owner, UINT entryId) {
    NOTIFYICONDATAA probe = {};
    probe.cbSize = sizeof probe;
    probe.hWnd = owner;
    probe.uID = entryId;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// ---- Settings file ----

bool RemoveSetting(const char* key) {
    return WritePrivateProfileStringA("Settings", key, nullptr, SettingsFilePath().c_str()) !=
           FALSE;
}

std::string SettingsFileText() {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(SettingsFilePath());
    return std::string(bytes.begin(), bytes.end());
}

// ---- Registry ----

RegistryValueOverride::RegistryValueOverride(HKEY root, const wchar_t* keyPath, const wchar_t* name,
                                             DWORD type, const std::wstring& text)
    : Name(name) {
    if (RegCreateKeyExW(root, keyPath, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &Key, nullptr) != ERROR_SUCCESS) {
        Key = nullptr;
        return;
    }
    DWORD size = 0;
    HadValue =
        RegQueryValueExW(Key, Name.c_str(), nullptr, &OldType, nullptr, &size) == ERROR_SUCCESS;
    OldData.resize(size);
    if (HadValue && size > 0) {
        HadValue = RegQueryValueExW(Key, Name.c_str(), nullptr, &OldType, OldData.data(), &size) ==
                   ERROR_SUCCESS;
    }
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    Stored = RegSetValueExW(Key, Name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                            bytes) == ERROR_SUCCESS;
}

RegistryValueOverride::~RegistryValueOverride() {
    if (!Key) {
        return;
    }
    if (HadValue) {
        RegSetValueExW(Key, Name.c_str(), 0, OldType, OldData.data(),
                       static_cast<DWORD>(OldData.size()));
    } else {
        RegDeleteValueW(Key, Name.c_str());
    }
    RegCloseKey(Key);
}

// ---- Screen ----

bool CaptureScreen(const RECT& area, ScreenImage* image) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = GetDC(nullptr);
    if (!screen) {
        return false;
    }
    bool copied = false;
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && bitmap) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        SelectObject(memory, previous);
        GdiFlush();
    }
    if (copied) {
        // The section holds 0x00RRGGBB per pixel; COLORREF is 0x00BBGGRR.
        const auto* source = static_cast<const std::uint32_t*>(bits);
        image->Width = width;
        image->Height = height;
        image->Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        for (std::size_t i = 0; i < image->Pixels.size(); ++i) {
            const std::uint32_t pixel = source[i];
            image->Pixels[i] = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    if (memory) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return copied;
}

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void AppendChunk(std::vector<std::uint8_t>& out, const char type[5],
                 const std::vector<std::uint8_t>& data) {
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    AppendBigEndian(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> StoredZlib(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(raw.size() - at, 0xFFFF);
        out.push_back(at + size == raw.size() ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(size));
        out.push_back(static_cast<std::uint8_t>(size >> 8));
        out.push_back(static_cast<std::uint8_t>(~size));
        out.push_back(static_cast<std::uint8_t>(~size >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    } while (at < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    AppendBigEndian(out, (b << 16) | a);
    return out;
}

} // namespace

bool WritePngFile(const std::string& path, const ScreenImage& image) {
    if (image.Width <= 0 || image.Height <= 0) {
        return false;
    }
    std::vector<std::uint8_t> header;
    AppendBigEndian(header, static_cast<std::uint32_t>(image.Width));
    AppendBigEndian(header, static_cast<std::uint32_t>(image.Height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace

    std::vector<std::uint8_t> rows;
    for (int y = 0; y < image.Height; ++y) {
        rows.push_back(0); // no filter
        for (int x = 0; x < image.Width; ++x) {
            const COLORREF pixel = image.At(x, y);
            rows.insert(rows.end(), {GetRValue(pixel), GetGValue(pixel), GetBValue(pixel)});
        }
    }

    std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(file, "IHDR", header);
    AppendChunk(file, "IDAT", StoredZlib(rows));
    AppendChunk(file, "IEND", {});
    return WriteWholeFile(path, file.data(), file.size());
}
