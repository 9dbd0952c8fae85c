// The main of the Windows test programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>

#include "base/FloatingPoint.h"

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    velora::SetFloatingPointState();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
