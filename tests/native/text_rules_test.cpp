#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/text_rules.h"

namespace {

TEST(TextRules, CopyCutsAndTerminatesInsideTheBuffer) {
    char dest[8];
    std::memset(dest, 'x', sizeof dest);
    EXPECT_EQ(CopyText(dest, "Kelvane!!"), 7u);
    EXPECT_STREQ(dest, "Kelvane");
    // A source without terminator is read only up to its limit.
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    char wide[16];
    EXPECT_EQ(CopyText(wide, unterminated, sizeof unterminated), 4u);
    EXPECT_STREQ(wide, "abcd");
    EXPECT_EQ(CopyText(dest, 0, "abc"), 0u);
}

TEST(TextRules, AppendKeepsTheBound) {
    char dest[10] = "GPU ";
    EXPECT_EQ(AppendUnsigned(dest, 2), 5u);
    EXPECT_EQ(AppendText(dest, " and more"), 9u);
    EXPECT_STREQ(dest, "GPU 2 and");
    // An unterminated destination is cut at its last byte rather than overrun.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(AppendText(full, "e"), 3u);
    EXPECT_STREQ(full, "abc");
}

TEST(TextRules, NumbersAsWsprintfWritesThem) {
    char text[32] = "";
    AppendUnsigned(text, 0);
    AppendText(text, " ");
    AppendUnsigned(text, 4294967295u);
    AppendText(text, " ");
    AppendSigned(text, -11);
    AppendText(text, " ");
    AppendSigned(text, INT32_MIN);
    EXPECT_STREQ(text, "0 4294967295 -11 -2147483648");
}

} // namespace
