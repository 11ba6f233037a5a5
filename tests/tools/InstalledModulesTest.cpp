// Which modules `register` acts on: in an installed layout, both bitnesses'
// folders side by side, the other bitness's module is found from either.
#include <gtest/gtest.h>

#include "tools/shared/ModuleCalls.h"

TEST(InstalledModules, TheOtherBitnessIsTheSiblingFolder) {
    EXPECT_EQ(OtherBitnessModulePath("C:\\Program Files\\Oculo\\x64\\Oculo.ax"),
              "C:\\Program Files\\Oculo\\x86\\Oculo.ax");
    EXPECT_EQ(OtherBitnessModulePath("D:\\Unpacked\\oculo-windows\\X86\\Oculo.ax"),
              "D:\\Unpacked\\oculo-windows\\x64\\Oculo.ax");
    EXPECT_EQ(OtherBitnessModulePath("/opt/oculo/x86/Oculo.so"), "/opt/oculo/x64/Oculo.so");
    // A build folder, or a folder merely ending in the name, is no installed layout.
    for (const char* alone : {"/work/build/debug/bin/Oculo.so", "C:\\tools\\abcx64\\Oculo.ax",
                              "Oculo.ax", "\\Oculo.ax"}) {
        EXPECT_EQ(OtherBitnessModulePath(alone), "") << alone;
    }
}
