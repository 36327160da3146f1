#include <gtest/gtest.h>

#include <cstring>

#include "ui/number_icon_rules.h"
#include "ui/tray_rules.h"

namespace {

TEST(NumberIconText, QuestionMarkNumberAndDegreeSign) {
    char text[8];
    FormatIconNumber(text, sizeof text, 255, true);
    EXPECT_STREQ(text, "?");
    FormatIconNumber(text, sizeof text, 255, false);
    EXPECT_STREQ(text, "?");
    FormatIconNumber(text, sizeof text, 0, true);
    EXPECT_STREQ(text, "0\xB0");
    FormatIconNumber(text, sizeof text, 254, true);
    EXPECT_STREQ(text, "254\xB0");
    FormatIconNumber(text, sizeof text, 254, false);
    EXPECT_STREQ(text, "254");
    // A short buffer keeps the digits it has room for.
    char tight[3];
    FormatIconNumber(tight, sizeof tight, 123, true);
    EXPECT_STREQ(tight, "12");
}

TEST(TrayTip, NumberedOrGpuName) {
    char tip[128];
    FormatTrayTip(tip, sizeof tip, 1, "Board", 6);
    EXPECT_STREQ(tip, "GPU 1");
    FormatTrayTip(tip, sizeof tip, 2, "Board", 6);
    EXPECT_STREQ(tip, "GPU 2");
    FormatTrayTip(tip, sizeof tip, 0, "Board", 6);
    EXPECT_STREQ(tip, "Board");
    FormatTrayTip(tip, sizeof tip, 4294967295u, "Board", 6);
    EXPECT_STREQ(tip, "GPU 4294967295");
}

TEST(TrayTip, NameIsBoundedByTheTipAndTheNameField) {
    // A name that fills its whole field without terminator is read only up to the field.
    char name[130];
    std::memset(name, 'n', sizeof name);
    char tip[128];
    FormatTrayTip(tip, sizeof tip, 0, name, 5);
    EXPECT_STREQ(tip, "nnnnn");
    FormatTrayTip(tip, sizeof tip, 0, name, sizeof name);
    EXPECT_EQ(std::strlen(tip), 127u);
}

} // namespace
