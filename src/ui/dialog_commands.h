// The commands of the main dialog that do more than one call.
#pragma once

#include <windows.h>

// OK and Apply: take the interval and the threshold from their controls; OK also hides.
void ApplyPendingChanges(HWND dialog, WORD command);

// The icon button: the font chooser for the tray numbers.
void ChooseIconFont(HWND dialog);

// F2: the overlay setting when changed, then the history file, with a beep on success.
void SaveNow();

// F6: the display control panel of the system folder; the window hides when it started.
void OpenDisplaySettings(HWND dialog);

// F1 or the caption's help button: the GPU box for the graph, the about box elsewhere.
void ShowHelp(HWND dialog, const HELPINFO* help);
