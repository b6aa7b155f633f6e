// The fault suite (scripts/faults): the real KeltaMySQL.exe under Wine against the bench, with
// faults injected in the middle of its operations; after each, what was there before or what the
// operation promised must still be there. Prints one table row per fault.
#include "fault.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::GTEST_FLAG(brief) = true;
    ::testing::InitGoogleTest(&argc, argv);
    const int tests = RUN_ALL_TESTS();
    const bool nothing_lost = faults::print_table();
    return tests == 0 && nothing_lost ? 0 : 1;
}
