// Slot 0's filter for a bench, linked in directly: its settings go into a
// registry file of the bench's own (the stand-in's OCULO_REGISTRY), which is
// removed with its folder at the end; and what a bench's run sets up around it. The slot table (g_Templates) is defined here, so a
// bench that uses this defines none of its own. Linux only.
#pragma once

#include <string>

#include "filter/Oculo.h"

class CBenchRegistry {
public:
    // Points OCULO_REGISTRY at a file in a fresh temporary folder; false if
    // the folder cannot be made.
    bool Create();
    ~CBenchRegistry();

private:
    std::string m_folder;
};

// What a bench holds for its whole run: a registry file of its own, COM on
// the main thread, and FFmpeg quiet (refused and unanswered connections are
// often the point) with its network up.
class CBenchRun {
public:
    // False if the registry's folder cannot be made.
    bool Start();
    ~CBenchRun();

private:
    CBenchRegistry m_registry;
    bool m_bStarted = false;
};

struct BenchSlot {
    std::wstring url;  // empty: no camera
    LONG w = 640;
    LONG h = 480;
    float fps = 25.0f;
    // Off: the benches measure the camera's pictures, never the status card.
    LONG status = 0;
};

// Writes the slot's settings and creates its filter with one reference for
// the caller (released through IBaseFilter or NonDelegatingRelease); null on
// failure.
COculo* CreateSlotFilter(const BenchSlot& slot);
