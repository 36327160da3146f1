#include "support/wine_guard.h"

bool IsWineNtdll(HMODULE ntdll) {
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int RefuseOutsideWine(const char* program, HMODULE ntdll, std::FILE* out) {
    if (IsWineNtdll(ntdll))
        return 0;
    std::fprintf(out,
                 "%s: not running under Wine; refusing to run, because these tests delete "
                 "Kelvane's settings and history, end running Kelvanes and write registry keys "
                 "(run them with scripts/test.sh on Linux); nothing was touched.\n",
                 program);
    std::fflush(out);
    return RefusedOutsideWine;
}
