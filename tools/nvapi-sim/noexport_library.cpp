// A library named like the driver's that lacks its query export, for the tests of a binding
// that finds the library but not the export.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
