// The main function of every test program of the Wine and end-to-end tiers: GoogleTest's own,
// behind the guard that keeps these tests off a person's Windows and everyday Wine prefix.
#include <gtest/gtest.h>

#include "support/wine_guard.h"

int main(int argc, char** argv) {
    if (int refused = RefuseOutsideTestPrefix(argc > 0 ? argv[0] : "test program"))
        return refused;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
