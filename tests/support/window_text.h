// Texts of any window, of this process or another.
#pragma once

#include <windows.h>

#include <string>

// The window's title or control text (at most 1023 characters).
std::string WindowText(HWND window);

// The window's class name, e.g. "#32770" for a dialog.
std::string WindowClass(HWND window);
