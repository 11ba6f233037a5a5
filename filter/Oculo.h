// COculo: the source filter of one slot. A thin layer on CSource: it keeps the
// slot's settings for its whole life, owns exactly one output pin
// (COculoStream) and lets clients reach that pin's IAMStreamConfig and
// IKsPropertySet through the filter's own interface pointers. Its
// IOculoStatus answers with the pin's; ISpecifyPropertyPages names the
// slot's property page (filter/OculoPage.h), which shows the filter's own
// settings (IOculoSettings).
//
// Threads: host threads. Construction and destruction run on the thread that
// creates or releases the filter; QueryInterface and GetGraph never wait for
// the state lock (they use CSource's pin list lock and CBaseFilter's info
// lock), and GetStatus takes no lock (any thread).
#pragma once

#include "filter/SettingsInterface.h"
#include "framework/Source.h"
#include "include/OculoStatus.h"
#include "module/InstanceSettings.h"

class COculoStream;

class COculo : public CSource, public IOculoStatus, public ISpecifyPropertyPages, public IOculoSettings {
public:
    // slot 0..9 indexes the slot table g_Templates for the display name and
    // class id. *phr receives E_OUTOFMEMORY when the pin cannot be made, else
    // the result of adding it to the pin list.
    COculo(LPUNKNOWN pUnk, HRESULT* phr, int slot);
    // Stops a filter that is still paused or running, so the pin's worker
    // and camera reader end while every part of the filter still exists.
    ~COculo() override;

    // Every interface of the filter forwards to its IUnknown, which answers
    // them all: the filter's own, IOculoStatus, ISpecifyPropertyPages and
    // IOculoSettings, and the pin's IAMStreamConfig and IKsPropertySet
    // (E_NOINTERFACE without a pin), which clients look for on the filter.
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IOculoStatus: the pin's camera (a stopped one when there is no pin).
    STDMETHODIMP GetStatus(OCULO_STATUS* pStatus) override;
    // ISpecifyPropertyPages: the one page of the slot, in task memory.
    STDMETHODIMP GetPages(CAUUID* pPages) override;
    // IOculoSettings: m_Settings.
    STDMETHODIMP GetSettings(InstanceSettings* pSettings) override;

    // Tells the pin when the filter leaves the running state, so a sample
    // waiting for its time is held at once.
    STDMETHODIMP Pause() override;

    // The graph the filter has joined, with a reference for the caller, or null.
    IFilterGraph* GetGraph();

    // The slot's settings as read at construction; never reread.
    const InstanceSettings m_Settings;
    const int m_iSlot;

private:
    COculoStream* m_pStream;  // the pin, owned through the pin list; null if it could not be made
};
