// The least a Win32 dialog program can be, as the floor Kelvane's footprint is measured against:
// one modeless dialog from a template, one window timer and the message loop, nothing else.
// It is built with Kelvane's compiler and linker flags and linked to the same system libraries
// (tools/bench/CMakeLists.txt), and it carries the same manifest.
//
// Its timer does the least a tick can do: count. The count's address is kept in the dialog's
// user data, so the benchmark helper reads it from outside (ReadProcessMemory) and the program
// does no work for being watched.
#include <windows.h>

namespace {

constexpr int MinimalDialogTemplate = 100;
constexpr UINT_PTR TickTimer = 100;
// Kelvane's timer period at its shortest interval, 4 seconds.
constexpr UINT TickPeriodMs = 4000;

volatile ULONGLONG TicksSeen = 0;

INT_PTR CALLBACK MinimalDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(const_cast<ULONGLONG*>(&TicksSeen)));
        SetTimer(dialog, TickTimer, TickPeriodMs, nullptr);
        return TRUE;
    case WM_TIMER:
        TicksSeen = TicksSeen + 1;
        return FALSE;
    case WM_CLOSE:
        KillTimer(dialog, TickTimer);
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(MinimalDialogTemplate), nullptr,
                                     MinimalDialogProc, 0);
    if (dialog == nullptr)
        return 1;
    ShowWindow(dialog, showCommand);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
