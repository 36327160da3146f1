// The built program next to the test programs, and a measure of this process's GDI objects.
#pragma once

#include <windows.h>

#include <string>

// Kelvane.exe: it lies in the same folder as every test program.
std::string ProgramPath();

// Kelvane.exe loaded as a resource module, so LoadStringA and CreateDialogParamA find its
// strings and dialogs as the program does. Null when it cannot be loaded.
HMODULE LoadProgramResources();

// Live GDI objects of this process. Wine does not implement GetGuiResources (it returns 0 with
// ERROR_CALL_NOT_IMPLEMENTED), but its GDI handle table accepts a bare table index as a handle,
// so probing every index counts the objects this process holds. An icon holds bitmaps of its
// own, so an icon left undestroyed shows here too.
int CountGdiObjects();
