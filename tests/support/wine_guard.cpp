#include "support/wine_guard.h"

bool IsWineNtdll(HMODULE ntdll) {
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int RefuseOutsideTestPrefix(const char* program, HMODULE ntdll, const char* marker,
                            std::FILE* out) {
    DWORD markerAttributes = GetFileAttributesA(marker);
    if (IsWineNtdll(ntdll) && markerAttributes != INVALID_FILE_ATTRIBUTES &&
        !(markerAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    std::fprintf(out,
                 "%s: not in a throw-away Wine prefix made for these tests (no %s); refusing to "
                 "run, because these tests delete Kelvane's settings and history, end running "
                 "Kelvanes and write registry keys (run them with scripts/test.sh on Linux); "
                 "nothing was touched.\n",
                 program, marker);
    std::fflush(out);
    return RefusedOutsideTestPrefix;
}
