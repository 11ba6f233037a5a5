// A registry file of the run's own: points OCULO_REGISTRY at a file in a
// fresh temporary folder (made on the first call), removed when the process
// exits normally.
#pragma once

#include <string>

const std::string& FuzzRegistryFile();

// Replaces the registry file's text, as one change another process made.
void FuzzWriteRegistry(const std::string& text);
