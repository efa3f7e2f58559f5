// The entry of every test program in the Windows build. That build links with -municode,
// whose start-up code calls wmain, and GoogleTest's own main library has only main.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include "platform/sockets.h"

int wmain(int argc, wchar_t** argv) {
    // In text mode every line of the test list would end in CR LF; CMake reads the CR
    // into the suite name when it lists the tests, and no test would then be found.
    _setmode(_fileno(stdout), _O_BINARY);
    // As in the programs: a stop of a server started in a test never ends the last start.
    platform::StartNetworkForProcess();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
