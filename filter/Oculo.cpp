#include "filter/Oculo.h"

#include <new>

#include "filter/OculoPage.h"
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
    Stop();
    // A pin the list refused is ours to delete; CSource deletes the others.
    if (m_pStream && FindPinNumber(static_cast<IPin*>(m_pStream)) < 0) {
        delete m_pStream;
    }
}

STDMETHODIMP COculo::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IAMStreamConfig || riid == IID_IKsPropertySet) {
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
    if (riid == IID_IOculoStatus) {
        return GetInterface(static_cast<IOculoStatus*>(this), ppv);
    }
    if (riid == IID_ISpecifyPropertyPages) {
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    }
    if (riid == IID_IOculoSettings) {
        return GetInterface(static_cast<IOculoSettings*>(this), ppv);
    }
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP COculo::GetPages(CAUUID* pPages) {
    if (!pPages) {
        return E_POINTER;
    }
    pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pPages->pElems) {
        pPages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pPages->cElems = 1;
    pPages->pElems[0] = CLSID_OculoPage;
    return S_OK;
}

STDMETHODIMP COculo::GetSettings(InstanceSettings* pSettings) {
    if (!pSettings) {
        return E_POINTER;
    }
    *pSettings = m_Settings;
    return S_OK;
}

STDMETHODIMP COculo::Pause() {
    CAutoLock lock(&m_cStateLock);
    if (m_State.load() == State_Running && m_pStream) {
        m_pStream->OnPause();
    }
    return CSource::Pause();
}

IFilterGraph* COculo::GetGraph() {
    CAutoLock lock(&m_cInfoLock);
    if (m_pGraph) {
        m_pGraph->AddRef();
    }
    return m_pGraph;
}
