// Keeps Wine's desktop process, the host of the notification area, alive for a whole test run.
// Wine ends it about a second after the last program with a window has gone; the first program
// started after that may never find the new tray host. This program holds one hidden window
// until the test run ends the prefix's wineserver.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = CreateWindowExA(0, "STATIC", "Kelvane test desktop keeper", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
