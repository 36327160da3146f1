// The guard in front of every Windows test program: it lets them run under Wine in the prefix
// prepared for them and stops them, with one line and a failing code, on a system whose ntdll is
// not Wine's or in a prefix without the preparation's marker.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "support/wine_guard.h"

namespace {

TEST(WineGuard, RunsOnlyUnderWineInThePreparedPrefix) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const HMODULE wineNtdll = GetModuleHandleA("ntdll.dll");
    EXPECT_EQ(RefuseOutsideTestPrefix("probe", wineNtdll, TestPrefixMarker, out), 0);
    // kernel32 stands in for the ntdll of Windows: a system library without Wine's export.
    EXPECT_EQ(
        RefuseOutsideTestPrefix("probe", GetModuleHandleA("kernel32.dll"), TestPrefixMarker, out),
        RefusedOutsideTestPrefix);
    EXPECT_EQ(RefuseOutsideTestPrefix("probe", nullptr, TestPrefixMarker, out),
              RefusedOutsideTestPrefix);
    // Wine, but an everyday prefix: no marker file, or a folder of that name.
    EXPECT_EQ(RefuseOutsideTestPrefix("probe", wineNtdll, "C:\\no-such-marker.txt", out),
              RefusedOutsideTestPrefix);
    EXPECT_EQ(RefuseOutsideTestPrefix("probe", wineNtdll, "C:\\windows", out),
              RefusedOutsideTestPrefix);

    // Nothing for the allowed run, one line for each refusal.
    std::rewind(out);
    const char refusal[] = "probe: not in a throw-away Wine prefix";
    char line[512];
    int refusals = 0;
    while (std::fgets(line, sizeof line, out)) {
        EXPECT_EQ(std::strncmp(line, refusal, sizeof refusal - 1), 0) << line;
        ++refusals;
    }
    EXPECT_EQ(refusals, 4);
    std::fclose(out);
}

} // namespace
