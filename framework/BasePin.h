// CBasePin: IPin and IQualityControl for every pin of the framework, and the
// connection agreement between two pins. The pin that is asked to Connect
// leads: it agrees a media type with the peer by trying the peer's preferred
// types and then its own, and offers each candidate through the peer's
// ReceiveConnection. Both sides run the same hooks in a fixed order
// (CheckConnect, CheckMediaType, SetMediaType, CompleteConnect, and
// BreakConnect after every failure), so a derived pin shapes a connection by
// overriding hooks only.
//
// Lifetime: a pin has no count of its own. AddRef and Release go to the
// owning filter, which deletes its pins when it dies.
//
// Threads: host threads call IPin. Connect, ReceiveConnection, Disconnect
// and SetSink run under *m_pLock, the filter's state lock (so connecting and
// state changes exclude each other); the lock is held across the call into
// the peer's ReceiveConnection. ConnectedTo, QueryPinInfo, QueryDirection,
// QueryAccept, EnumMediaTypes, ConnectionMediaType and NewSegment never wait
// for it: a downstream filter may call them from inside Receive while a Stop
// holds the state lock and waits for our worker. The current type m_mt is
// guarded by m_cTypeLock, innermost and held only to read or replace it.
// Streaming threads read m_Connected, which changes only while the filter is
// stopped.
#pragma once

#include <atomic>
#include <memory>

#include "framework/Unknown.h"
#include "media/CritSec.h"
#include "media/MediaType.h"
#include "platform/platform.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
             PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Counted on the owning filter; the result is the filter's count.
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // Hooks, in the order a derived pin may override them.
    virtual LONG GetMediaTypeVersion();
    // The filter leaves the stopped state (Pause) / enters it (Stop).
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME tStart);
    // S_OK exactly when the pin accepts the type.
    virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
    virtual HRESULT SetMediaType(const CMediaType* pmt);
    virtual HRESULT CheckConnect(IPin* pPin);
    virtual HRESULT BreakConnect();
    virtual HRESULT CompleteConnect(IPin* pReceivePin);
    // The pin's preferred types, position 0 up; VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT GetMediaType(int iPosition, CMediaType* pMediaType);

    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // IQualityControl
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

    BOOL IsConnected() const { return m_Connected.load() != nullptr; }
    IPin* GetConnected() const { return m_Connected.load(); }
    BOOL IsStopped() const;
    LPWSTR Name() const { return m_pName.get(); }
    REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
    REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
    double CurrentRate() const { return m_dRate; }

protected:
    std::unique_ptr<WCHAR[]> m_pName;   // fixed at construction
    // The peer, one reference; changed under *m_pLock. An atomic raw
    // pointer, not a CComRef: streaming threads read it without the lock.
    std::atomic<IPin*> m_Connected;
    PIN_DIRECTION m_dir;                // fixed at construction
    CCritSec* m_pLock;                  // the filter's state lock, not owned (see m_mt)
    bool m_bRunTimeError;               // streaming error seen; cleared by Inactive
    bool m_bCanReconnectWhenActive;     // allows connecting while not stopped
    bool m_bTryMyTypesFirst;            // own types before the peer's in the agreement
    CBaseFilter* m_pFilter;             // the owner; no reference (it owns the pin)
    IQualityControl* m_pQSink GUARDED_BY(m_pLock);  // no reference
    LONG m_TypeVersion;                 // raised by a pin whose type list changes
    CCritSec m_cTypeLock;               // guards m_mt; innermost
    // Type of the current (or last) connection.
    CMediaType m_mt GUARDED_BY(m_cTypeLock);
    REFERENCE_TIME m_tStart;            // from NewSegment
    REFERENCE_TIME m_tStop;
    double m_dRate;

private:
    // Whether a connection may start now; the lock is held.
    HRESULT CanConnectNow() const REQUIRES(m_pLock);
    HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
    HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
    HRESULT DisconnectInternal();
    void DropPeer();
};
