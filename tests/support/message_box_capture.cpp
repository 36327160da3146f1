#include "support/message_box_capture.h"
#include "support/window_text.h"

namespace {

struct CaptureState {
    HHOOK Hook = nullptr;
    int Answer = IDOK;
    std::vector<CapturedMessageBox> Boxes;
};

thread_local CaptureState Capture;

// Marks a box already recorded, for the case that it is activated more than once.
constexpr char RecordedProperty[] = "KelvaneCapturedBox";

struct BoxParts {
    bool OnlyStaticsAndButtons = true;
    HICON Icon = nullptr;
    bool Button[IDCONTINUE + 1] = {};
};

BOOL CALLBACK CollectPart(HWND child, LPARAM parameter) {
    BoxParts& parts = *reinterpret_cast<BoxParts*>(parameter);
    std::string name = WindowClass(child);
    int id = GetDlgCtrlID(child);
    if (lstrcmpiA(name.c_str(), "Button") == 0) {
        if (id > 0 && id <= IDCONTINUE)
            parts.Button[id] = true;
    } else if (lstrcmpiA(name.c_str(), "Static") == 0) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            parts.Icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    } else {
        parts.OnlyStaticsAndButtons = false;
    }
    return TRUE;
}

// The system icons are shared, so the box shows the very handle LoadIcon gives.
UINT IconType(HICON icon) {
    if (icon == nullptr)
        return 0;
    if (icon == LoadIconA(nullptr, IDI_HAND))
        return MB_ICONERROR;
    if (icon == LoadIconA(nullptr, IDI_EXCLAMATION))
        return MB_ICONWARNING;
    if (icon == LoadIconA(nullptr, IDI_ASTERISK))
        return MB_ICONINFORMATION;
    if (icon == LoadIconA(nullptr, IDI_QUESTION))
        return MB_ICONQUESTION;
    return 0;
}

UINT ButtonType(const BoxParts& parts) {
    const bool* b = parts.Button;
    if (b[IDYES] && b[IDNO])
        return b[IDCANCEL] ? MB_YESNOCANCEL : MB_YESNO;
    if (b[IDABORT])
        return MB_ABORTRETRYIGNORE;
    if (b[IDTRYAGAIN] || b[IDCONTINUE])
        return MB_CANCELTRYCONTINUE;
    if (b[IDRETRY])
        return MB_RETRYCANCEL;
    if (b[IDOK] && b[IDCANCEL])
        return MB_OKCANCEL;
    return MB_OK;
}

void RecordAndClose(HWND box) {
    if (WindowClass(box) != "#32770" || GetDlgItem(box, 0xFFFF) == nullptr ||
        GetPropA(box, RecordedProperty) != nullptr)
        return;
    BoxParts parts;
    EnumChildWindows(box, CollectPart, reinterpret_cast<LPARAM>(&parts));
    if (!parts.OnlyStaticsAndButtons)
        return;
    SetPropA(box, RecordedProperty, reinterpret_cast<HANDLE>(1));
    Capture.Boxes.push_back({GetWindow(box, GW_OWNER), WindowText(box),
                             WindowText(GetDlgItem(box, 0xFFFF)), IconType(parts.Icon),
                             ButtonType(parts)});
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(Capture.Answer, BN_CLICKED), 0);
}

LRESULT CALLBACK CaptureHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE)
        RecordAndClose(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(Capture.Hook, code, wParam, lParam);
}

} // namespace

bool BeginMessageBoxCapture(int answer) {
    EndMessageBoxCapture();
    Capture.Boxes.clear();
    Capture.Answer = answer;
    Capture.Hook = SetWindowsHookExA(WH_CBT, CaptureHook, nullptr, GetCurrentThreadId());
    return Capture.Hook != nullptr;
}

void SetMessageBoxAnswer(int answer) {
    Capture.Answer = answer;
}

void EndMessageBoxCapture() {
    if (Capture.Hook != nullptr)
        UnhookWindowsHookEx(Capture.Hook);
    Capture.Hook = nullptr;
}

const std::vector<CapturedMessageBox>& CapturedMessageBoxes() {
    return Capture.Boxes;
}
