// The main of every test program: a run that skipped a test ends with 77
// instead of 0, which the test registration makes a failure on Linux and a
// skip on Windows (cmake/OculoTest.cmake).
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (result != 0 || ::testing::UnitTest::GetInstance()->skipped_test_count() == 0) return result;
    std::printf("Skipped tests: exit code 77\n");
    return 77;
}
