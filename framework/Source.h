// CSource: a pure source filter. Adds to CBaseFilter an owned, growable array
// of output stream pins (CSourceStream) and the filter's one state lock,
// which it passes to CBaseFilter and to every pin.
//
// Lifetime: the pins are created by the derived filter (each stream's
// constructor appends itself with AddPin) and deleted by this destructor
// (each stream's destructor removes itself with RemovePin). The filter must
// be stopped before its last reference goes.
// Threads: host threads. m_cStateLock is the filter's state lock; the lock
// order is this lock, then a stream's worker access lock. Worker threads
// never take it. m_cPinListLock, innermost and held only to read or change
// the array, guards m_iPins and m_paStreams, so pin lookups (GetPin, FindPin,
// a pin's QueryId) never wait for a state change.
#pragma once

#include "framework/BaseFilter.h"

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(LPCWSTR pName, LPUNKNOWN pUnk, REFCLSID clsid);
    ~CSource() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    // Pin ids are "1", "2", ... (CSourceStream::QueryId).
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;

    // E_OUTOFMEMORY leaves the array as it was.
    HRESULT AddPin(CSourceStream* pStream);
    // S_FALSE when the stream is not in the array.
    HRESULT RemovePin(CSourceStream* pStream);
    // Index of the stream whose IPin is iPin, or -1.
    int FindPinNumber(IPin* iPin);
    CCritSec* pStateLock() RETURN_CAPABILITY(m_cStateLock) { return &m_cStateLock; }

protected:
    int m_iPins GUARDED_BY(m_cPinListLock);                  // entries in m_paStreams
    CSourceStream** m_paStreams GUARDED_BY(m_cPinListLock);  // owned array, null when empty
    CCritSec m_cStateLock;          // the filter's state lock (re-entrant)
    CCritSec m_cPinListLock;        // innermost; see above
};
