// Catching the message boxes that code under test shows, without a user to answer them.
//
// BeginMessageBoxCapture installs a CBT hook for the calling thread only. When a message box of
// that thread is about to be activated (HCBT_ACTIVATE), the hook records its owner, caption,
// text, icon and buttons and closes it at once by posting the chosen answer, so the MessageBoxA
// call returns that answer. Message boxes are recognised as "#32770" windows holding the text
// static 0xFFFF and only statics and buttons; other dialogs (the font chooser, the program's own
// dialogs) are left alone. Boxes shown by other threads or processes are not seen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CapturedMessageBox {
    HWND Owner;          // null for a box without owner
    std::string Caption; // the title bar text
    std::string Text;    // the message, byte for byte
    UINT Icon;           // MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONQUESTION, or 0
    UINT Buttons;        // MB_OK, MB_OKCANCEL, MB_YESNO, MB_YESNOCANCEL, MB_RETRYCANCEL, ...
};

// Starts recording on this thread (clearing earlier records); boxes are answered with answer
// (IDOK, IDCANCEL, IDYES, ...). False when the hook cannot be installed.
bool BeginMessageBoxCapture(int answer = IDOK);

// Changes the answer for the boxes still to come.
void SetMessageBoxAnswer(int answer);

// Removes the hook. The records stay readable until the next BeginMessageBoxCapture.
void EndMessageBoxCapture();

// The boxes seen since BeginMessageBoxCapture, oldest first.
const std::vector<CapturedMessageBox>& CapturedMessageBoxes();
