// The guard in front of every Windows test program: it lets them run under Wine and stops them,
// with one line and a failing code, on a system whose ntdll is not Wine's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "support/wine_guard.h"

namespace {

TEST(WineGuard, RunsOnlyWhereNtdllIsWines) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(RefuseOutsideWine("probe", GetModuleHandleA("ntdll.dll"), out), 0);
    // kernel32 stands in for the ntdll of Windows: a system library without Wine's export.
    EXPECT_EQ(RefuseOutsideWine("probe", GetModuleHandleA("kernel32.dll"), out),
              RefusedOutsideWine);
    EXPECT_EQ(RefuseOutsideWine("probe", nullptr, out), RefusedOutsideWine);

    // Nothing for the allowed run, one line for each refusal.
    std::rewind(out);
    char line[512];
    int refusals = 0;
    while (std::fgets(line, sizeof line, out)) {
        EXPECT_EQ(std::strncmp(line, "probe: not running under Wine; refusing", 39), 0) << line;
        ++refusals;
    }
    EXPECT_EQ(refusals, 2);
    std::fclose(out);
}

} // namespace
