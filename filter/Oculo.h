// COculo: the source filter of one slot. A thin layer on CSource: it keeps the
// slot's settings for its whole life, owns exactly one output pin
// (COculoStream) and lets clients reach that pin's IAMStreamConfig and
// IKsPropertySet through the filter's own interface pointers.
//
// Threads: host threads. Construction and destruction run on the thread that
// creates or releases the filter; QueryInterface takes no lock of its own (the
// pin list is read under the filter's small list lock, see CSource).
#pragma once

#include "framework/Source.h"
#include "module/InstanceSettings.h"

class COculoStream;

class COculo : public CSource {
public:
    // slot 0..9 indexes the slot table g_Templates for the display name and
    // class id. *phr receives E_OUTOFMEMORY when the pin cannot be made, else
    // the result of adding it to the pin list.
    COculo(LPUNKNOWN pUnk, HRESULT* phr, int slot);
    // Stops a filter that is still paused or running before the pin goes.
    ~COculo() override;

    // The IUnknown of IBaseFilter and IAMovieSetup: IAMStreamConfig and
    // IKsPropertySet go to the pin, everything else to the owner.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

    // The slot's settings as read at construction; never reread.
    const InstanceSettings m_Settings;
    const int m_iSlot;

private:
    // The pin, or null when it could not be made; owned through the pin list.
    COculoStream* m_pStream;
};
