#include "filter/Oculo.h"

#include <new>

#include "filter/OculoStream.h"
#include "framework/ClassFactory.h"

COculo::COculo(LPUNKNOWN pUnk, HRESULT* phr, int slot)
    : CSource(g_Templates[slot].m_Name, pUnk, *g_Templates[slot].m_ClsID),
      m_Settings(LoadInstanceSettings(static_cast<DWORD>(slot))),
      m_iSlot(slot),
      m_pStream(nullptr) {
    // The pin's framework constructor adds it to the pin list and reports
    // that through phr; a pin that cannot even be allocated is reported here.
    m_pStream = new (std::nothrow) COculoStream(phr, this, g_Templates[slot].m_Name);
    if (!m_pStream && phr) {
        *phr = E_OUTOFMEMORY;
    }
}

COculo::~COculo() {
    // A filter released while paused or running: stop the pin's worker (and
    // with it the camera reader) while every part of the filter still exists.
    Stop();
}

STDMETHODIMP COculo::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IAMStreamConfig) || IsEqualIID(riid, IID_IKsPropertySet)) {
        if (!ppv) {
            return E_POINTER;
        }
        CBasePin* pPin = GetPin(0);
        if (!pPin) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return static_cast<IPin*>(pPin)->QueryInterface(riid, ppv);
    }
    return GetOwner()->QueryInterface(riid, ppv);
}
