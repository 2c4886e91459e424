// main() of every test program.
#include <gtest/gtest.h>

#include <windows.h>

int main(int argc, char** argv)
{
    // A crash must fail the test, not open Wine's crash dialog and hang the run.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
