// COculoStream: the output pin of a slot's filter. The camera reader pushes
// decoded pictures into the pin's frame store (the pin is the reader's
// callback); the framework's worker thread pulls samples, each a copy of the
// store stamped with nominal times, and delivers them downstream no earlier
// than their start time on the graph's clock.
//
// Threads: host threads (construction, destruction, negotiation, stream
// configuration), the worker thread (OnThreadCreate, FillBuffer,
// OnThreadDestroy) and the reader's capture thread (OnFrame).
// Locks, outermost first: the filter's state lock; the frame lock
// (CFrameStore); m_cTypeLock, which guards the current type m_mt and is
// innermost: nothing is called while it is held.
#pragma once

#include <atomic>

#include "filter/FrameStore.h"
#include "framework/SourceStream.h"
#include "media/AMEvent.h"

class COculo;
class CIPCameraBase;

class COculoStream : public CSourceStream, public IAMStreamConfig, public IKsPropertySet, public CFrameStore {
public:
    COculoStream(HRESULT* phr, COculo* pParent, LPCWSTR pPinName);
    ~COculoStream() override;

    // The shared IUnknown of IPin, IQualityControl, IAMStreamConfig and
    // IKsPropertySet.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }

    // Worker thread.
    HRESULT FillBuffer(IMediaSample* pSample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    // Creates the reader if needed and starts it on the slot's address.
    HRESULT StartCamera();

    // Media types.
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    using CSourceStream::GetMediaType;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
    STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

    // IKsPropertySet
    STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData) override;
    STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    // IQualityControl: quality messages have no effect.
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

    // Frame duration for a frame rate: the nearest 100-ns count inside the
    // capability's interval range (see OculoStreamTypes.cpp for the rule).
    static REFERENCE_TIME FrameDuration(float fps);

private:
    const float m_flFrameRate;       // the slot's fps, copied at construction
    CIPCameraBase* m_pCamera;        // owned; null until the first stream start
    COculo* const m_pParentFilter;   // the owner; not counted
    REFERENCE_TIME m_rtNextStart;    // worker thread only
    bool m_bTypeBuilt;
};
