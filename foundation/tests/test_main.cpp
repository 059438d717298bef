// The entry of every Windows test program: GoogleTest's run, then an immediate end of the process with its
// result. Under Wine, on a busy machine, a process that has printed its results was seen to stall for
// minutes in its own exit; the verdict is already out by then, so nothing is lost by not waiting for it.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdio.h>

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    int result = RUN_ALL_TESTS();
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
