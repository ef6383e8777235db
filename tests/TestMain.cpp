// The entry point of every test program. Under Wine the standard output is a
// file, which the C runtime buffers in full: a test program that dies without
// running its exit code would take everything it printed with it. Flushing at
// each step of the run keeps what was printed up to the end, so a failure
// always says how far the program got.

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class FlushingListener : public ::testing::EmptyTestEventListener {
    void OnTestProgramStart(const ::testing::UnitTest&) override { Flush(); }
    void OnTestStart(const ::testing::TestInfo&) override { Flush(); }
    void OnTestPartResult(const ::testing::TestPartResult&) override { Flush(); }
    void OnTestEnd(const ::testing::TestInfo&) override { Flush(); }

    static void Flush() {
        std::fflush(stdout);
        std::fflush(stderr);
    }
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Appended after the printer, which goes first on a test's start and on a
    // failure: those lines are out before the test body runs on.
    ::testing::UnitTest::GetInstance()->listeners().Append(new FlushingListener);
    return RUN_ALL_TESTS();
}
