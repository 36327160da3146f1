// The test programs delete Kelvane's data folder, end running Kelvanes and write registry keys
// that only Wine knows. That is safe only in a Wine prefix made for the tests and thrown away
// afterwards, never on a person's own Windows or in their everyday Wine prefix, where it would
// destroy their settings and history. Every such program asks this guard first.
#pragma once

#include <windows.h>

#include <cstdio>

// The exit code of a program the guard stopped.
inline constexpr int RefusedOutsideTestPrefix = 3;

// The file that the preparation of a test prefix (wine-run --prepare) leaves at the root of the
// prefix's C: drive. No other prefix and no Windows has it.
inline constexpr char TestPrefixMarker[] = "C:\\kelvane-throwaway-test-prefix.txt";

// Wine's ntdll exports wine_get_version; the one of Windows never does.
bool IsWineNtdll(HMODULE ntdll);

// 0 when the process runs under Wine (ntdll is Wine's) in a prefix that holds the marker file.
// Otherwise writes one line naming `program` to `out` and returns RefusedOutsideTestPrefix: the
// program must end with that code before it touches anything.
int RefuseOutsideTestPrefix(const char* program, HMODULE ntdll = GetModuleHandleA("ntdll.dll"),
                            const char* marker = TestPrefixMarker, std::FILE* out = stderr);
