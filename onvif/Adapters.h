// The IPv4 network adapters a camera search probes on: every adapter that
// is up, with its first IPv4 address. Loopback adapters only when asked: a
// real search has no camera there, but a test's network namespace has
// nothing else. One implementation per system (AdaptersPosix.cpp,
// AdaptersWin.cpp). Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Adapter {
    std::string name;
    uint32_t address = 0;  // IPv4, network byte order
};

std::vector<Adapter> ListAdapters(bool bIncludeLoopback);
