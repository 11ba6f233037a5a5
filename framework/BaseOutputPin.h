// CBaseOutputPin: the output side of the memory transport. At connection it
// takes the peer's IMemInputPin and agrees an allocator with it (the peer's
// own first, else one of its making, both sized by DecideBufferSize); the
// filter's state changes commit and decommit that allocator; while streaming
// it hands out empty samples and delivers filled ones, end of stream, flushes
// and segments downstream.
//
// Threads: the hooks run on host threads under the filter's state lock (held
// by the connection methods and the state changes). GetDeliveryBuffer,
// Deliver and the Deliver... calls run on the streaming thread without a lock;
// they read m_pAllocator and m_pInputPin, which change only while the filter
// is stopped (before the streaming thread starts or after it has ended).
#pragma once

#include "framework/BasePin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName);
    ~CBaseOutputPin() override;

    virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc);
    // Sets the buffer count and size on pAlloc (SetProperties).
    virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) = 0;
    virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                      REFERENCE_TIME* pEndTime, DWORD dwFlags);
    // The caller keeps its reference on the sample and releases it after.
    virtual HRESULT Deliver(IMediaSample* pSample);
    virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);
    virtual HRESULT DeliverEndOfStream();
    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // These travel downstream only.
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

protected:
    // One allocator candidate: DecideBufferSize on it, then offer it to the peer.
    HRESULT SizeAndNotify(IMemInputPin* pPin, IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps);

    IMemAllocator* m_pAllocator;  // the agreed allocator, one reference; see above
    IMemInputPin* m_pInputPin;    // the peer's memory input, one reference; see above
};
