// The main dialog: its procedure and the small actions its handlers share.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Redraws the graph at once (before the caller returns).
void RepaintGraph(HWND dialog);

// Enables Apply when a change is pending.
void EnableApply(HWND dialog);

// Writes ShowDetails when the overlay state differs from the stored one.
void WriteChangedShowDetails();
