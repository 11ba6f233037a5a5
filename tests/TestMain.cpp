// The main of every test program. A run that skipped a test ends with exit
// code 77 instead of 0, so a skip is never taken for a pass: the build's test
// registration decides what 77 means (skipped on Windows, failed on Linux).
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const int skipped = ::testing::UnitTest::GetInstance()->skipped_test_count();
    if (result != 0 || skipped == 0) return result;
    std::printf("%d test(s) skipped: exit code 77\n", skipped);
    return 77;
}
