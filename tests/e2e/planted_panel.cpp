// A control-panel item as someone could plant it beside the program: whoever loads it runs its
// code. All it does is leave a marker, a file named like itself with ".ran" added, so that a test
// can tell it was loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char marker[MAX_PATH + 8] = "";
    const DWORD length = GetModuleFileNameA(module, marker, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        lstrcatA(marker, ".ran");
        HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return TRUE;
}
