// Hand-written downstream objects for the connection tests: an input pin
// (IPin, IMemInputPin) whose answers are set by the test, an allocator that
// records what it was asked, and a media-type enumerator over a fixed list.
// They count their own references (RefCount) so tests can see what the
// framework keeps. Single-threaded: the connection tests drive them from one
// thread.
#pragma once

#include <string>
#include <vector>

#include "media/MediaType.h"
#include "platform/ComRef.h"
#include "tests/FakeUnknown.h"

class CFakeAllocator final : public CFakeUnknown<ComInterface<IMemAllocator, IID_IMemAllocator>> {
public:
    CFakeAllocator() = default;
    HRESULT m_hrSetProperties = S_OK;
    HRESULT m_hrDecommit = S_OK;
    ALLOCATOR_PROPERTIES m_request{};
    int m_cSetProperties = 0;
    int m_cCommit = 0;
    int m_cDecommit = 0;

    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                           DWORD dwFlags) override;
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;
};

class CFakeEnumTypes final : public CFakeUnknown<ComInterface<IEnumMediaTypes, IID_IEnumMediaTypes>> {
public:
    explicit CFakeEnumTypes(const std::vector<CMediaType>& types) : m_types(types) {}
    STDMETHODIMP Next(ULONG c, AM_MEDIA_TYPE** pp, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG c) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** pp) override;

private:
    size_t m_pos = 0;
    std::vector<CMediaType> m_types;
};

class CFakeInputPin final
    : public CFakeUnknown<ComInterface<IPin, IID_IPin>, ComInterface<IMemInputPin, IID_IMemInputPin>> {
public:
    CFakeInputPin() = default;

    PIN_DIRECTION m_dir = PINDIR_INPUT;
    bool m_bMemInput = true;                 // answers IMemInputPin
    std::vector<CMediaType> m_types;         // its preferred types (empty: EnumMediaTypes fails)
    HRESULT m_hrReceiveConnection = S_OK;    // answer to every ReceiveConnection
    std::vector<GUID> m_offered;             // subtypes offered through ReceiveConnection
    CComRef<IPin> m_connector;               // while connected
    int m_cDisconnect = 0;
    CFakeAllocator* m_pOwnAllocator = nullptr;  // offered by GetAllocator when set (not owned)
    HRESULT m_hrNotifyAllocator = S_OK;
    IMemAllocator* m_pNotified = nullptr;    // identity only
    bool m_bRequirements = false;
    ALLOCATOR_PROPERTIES m_requirements{};
    int m_cEndOfStream = 0;
    HRESULT m_hrConnectorConnectedTo = S_OK;  // the connector's ConnectedTo during ReceiveConnection

    // IMemInputPin only when m_bMemInput.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override { return S_OK; }
    STDMETHODIMP EndFlush() override { return S_OK; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Receive(IMediaSample*) override { return S_OK; }
    STDMETHODIMP ReceiveMultiple(IMediaSample**, LONG, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }
};
