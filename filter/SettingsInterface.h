// The slot's settings as its filter uses them, for the slot's property page:
// the filter reads them once, when it is made, and keeps them for its life
// (filter/Oculo.h), so the page shows what the running filter uses, not
// what the registry has said since. A private interface of this module,
// asked for by its own page only.
//
// Threads: any thread; the copy is constant for the filter's life.
#pragma once

#include "module/InstanceSettings.h"

// {E704A3AB-F44E-49DF-A031-C91468D1F720}
inline const IID IID_IOculoSettings = {
    0xE704A3AB, 0xF44E, 0x49DF, {0xA0, 0x31, 0xC9, 0x14, 0x68, 0xD1, 0xF7, 0x20}};

struct IOculoSettings : public IUnknown {
    // S_OK with the filter's copy in *pSettings; E_POINTER for null.
    virtual HRESULT STDMETHODCALLTYPE GetSettings(InstanceSettings* pSettings) = 0;
};
