// The system's registrar under Wine: a module whose path is too long to
// name is refused before regsvr32 runs.
#include <gtest/gtest.h>

#include "tools/shared/ModuleCalls.h"

// GetFullPathName's answer for a path that does not fit is the size it
// needs, not a path: nothing may reach regsvr32's command line.
TEST(SystemRegistrar, APathTooLongToNameIsRefusedBeforeRegsvr32Runs) {
    std::string error;
    const std::string tooLong = "C:\\" + std::string(300, 'a') + "\\Oculo.ax";
    EXPECT_FALSE(RunSystemRegistrar(OwnBitness() == 64 ? 32 : 64, tooLong, true, &error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}
