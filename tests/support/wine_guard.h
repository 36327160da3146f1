// The test programs delete Kelvane's data folder, end running Kelvanes and write registry keys
// that only Wine knows. That is safe only in a Wine prefix made for the tests and thrown away
// afterwards, never on a person's own Windows, where it would destroy their settings and
// history. Every such program asks this guard first.
#pragma once

#include <windows.h>

#include <cstdio>

// The exit code of a program the guard stopped.
inline constexpr int RefusedOutsideWine = 3;

// Wine's ntdll exports wine_get_version; the one of Windows never does.
bool IsWineNtdll(HMODULE ntdll);

// 0 when the process runs under Wine (ntdll is Wine's). Otherwise writes one line naming
// `program` to `out` and returns RefusedOutsideWine: the program must end with that code before
// it touches anything.
int RefuseOutsideWine(const char* program, HMODULE ntdll = GetModuleHandleA("ntdll.dll"),
                      std::FILE* out = stderr);
