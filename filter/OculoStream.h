// COculoStream: the output pin of a slot's filter. The camera reader pushes
// decoded pictures into the pin's frame store (the pin is the reader's
// callback, OnFrame); the framework's worker thread pulls samples, each a
// copy of the store stamped with nominal times, and delivers them downstream.
// IOculoStatus tells what the reader's camera is doing (filter/CameraStatus.h).
//
// Pacing: a sample leaves no earlier than its start time in stream time (the
// graph's reference clock minus the run start; a monotonic clock when the
// graph has none, which counts from the Run after a stop and stands still
// while the filter is paused, as a graph's stream time does). While the
// filter is paused, the first sample of a streaming spell leaves at once (so
// downstream can cue) and the next one is held until Run. Run, Pause and
// Stop end a wait at once.
//
// Status card: until a run's first picture, and when none has come for more
// than kCardAfterSilenceMs, samples carry the slot's status card instead
// (filter/StatusCard.h) unless the slot's "status" setting is 0. The store's
// picture goes on being updated meanwhile; the next picture ends the card.
//
// Threads: host threads (construction, destruction, negotiation, stream
// configuration, state changes), the worker thread (OnThreadCreate,
// FillBuffer, OnThreadDestroy, the status card), the reader's capture
// thread (OnFrame), and any thread for GetStatus, which takes no lock.
// Locks, outermost first: the filter's state lock; the frame lock
// (CFrameStore), under which nothing else is taken; the camera engine's
// clock lock. The filter's clock lock (CBaseFilter, taken by StreamTime on
// the worker and under the state lock by OnPause) is innermost. The worker
// reads the reader's status (GetStatus) holding no lock of ours. The current
// type m_mt is guarded by m_cTypeLock (CBasePin), innermost: nothing else is
// taken or called while it is held, so type queries from a downstream
// filter's Receive never wait for a state change.
#pragma once

#include <atomic>
#include <memory>

#include "camera/IPCameraBase.h"
#include "filter/FrameStore.h"
#include "filter/StatusCard.h"
#include "framework/SourceStream.h"
#include "media/AMEvent.h"

class COculo;

// The capability's frame-interval range (100-ns units): 50 down to 0.2 frames
// per second.
const REFERENCE_TIME kMinFrameInterval = 200000;
const REFERENCE_TIME kMaxFrameInterval = 50000000;

class COculoStream : public CSourceStream,
                     public IAMStreamConfig,
                     public IKsPropertySet,
                     public IOculoStatus,
                     public CFrameStore {
public:
    // Reads fps, w and h from the filter's settings; *phr as CSourceStream.
    COculoStream(HRESULT* phr, COculo* pParent, LPCWSTR pPinName);
    // Stops the worker and the reader first, so no picture and no sample
    // reaches a pin or store being destroyed.
    ~COculoStream() override;

    // Every interface of the pin forwards to its IUnknown, which answers them
    // all (IOculoStatus among them): one identity, each interface reachable
    // from every other.
    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Worker thread.
    HRESULT FillBuffer(IMediaSample* pSample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    // Creates the reader if needed and starts it on the slot's address:
    // S_FALSE when already streaming, E_FAIL when it cannot start.
    HRESULT StartCamera();

    // State changes (host threads, under the filter's state lock).
    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME tStart) override;
    // The filter goes from running to paused: stream time stops here.
    void OnPause();

    // Media types.
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    using CSourceStream::GetMediaType;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override;

    // IAMStreamConfig
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override;
    STDMETHODIMP GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override;

    // IKsPropertySet: the read-only pin category.
    STDMETHODIMP Set(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData) override;
    STDMETHODIMP Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID pInstanceData, DWORD cbInstanceData,
                     LPVOID pPropData, DWORD cbPropData, DWORD* pcbReturned) override;
    STDMETHODIMP QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) override;

    // IQualityControl: quality messages have no effect.
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

    // IOculoStatus: the reader's status; a stopped camera before the first run.
    STDMETHODIMP GetStatus(OCULO_STATUS* pStatus) override;

    // Frame duration for a frame rate: a rate that is not a finite positive
    // number gives 25 frames per second (400 000); any other is rounded to
    // the nearest 100 ns and clamped into the capability's interval range.
    static REFERENCE_TIME FrameDuration(float fps);

protected:
    // The stamping and copy of FillBuffer without the wait for the sample's
    // time (benchmarks measure this part).
    HRESULT StampAndCopy(IMediaSample* pSample, REFERENCE_TIME rtStart, REFERENCE_TIME rtStop);

private:
    enum PlayState : int { kStopped, kPaused, kRunning };

    // The default type of the slot's size and rate into pmt.
    HRESULT BuildDefaultType(CMediaType* pmt) const;
    // What every type of the pin says of the image: vih's bitmap header of
    // the slot's size and empty rectangles, pmt's RGB24 video type GUIDs.
    void DescribeImage(VIDEOINFOHEADER& vih, CMediaType* pmt) const;
    // The current type's frame duration; the default when it has none in
    // range (see FillBuffer).
    REFERENCE_TIME CurrentFrameDuration();
    // S_OK when the slot's size makes a usable image, else why not.
    HRESULT CheckImageSize() const;
    // S_OK when mt describes what the pin delivers: RGB24 video in a
    // VIDEOINFOHEADER at the slot's size, an image size of 0 or the image's,
    // and a frame interval in the capability's range. Else E_FAIL for
    // another size, E_INVALIDARG for the rest (CheckMediaType's codes).
    HRESULT CheckDeliverable(const AM_MEDIA_TYPE& mt) const;
    // Whether mt's format block is at least a VIDEOINFOHEADER, read as one
    // whatever its format type, with the slot's width and height.
    bool HasStoreSize(const AM_MEDIA_TYPE& mt) const;
    // Holds the worker until the sample starting at rtStart is due (see the
    // class comment); returns at once on a state change that ends it.
    void WaitUntilDue(REFERENCE_TIME rtStart);
    // The stream time now, from the graph's clock or the monotonic one.
    REFERENCE_TIME StreamTimeNow();
    void SetPlayState(PlayState state);
    // When the status card is due (see the class comment), copies it into
    // pData (nothing when it does not fit) and returns true. Worker thread.
    bool CopyStatusCard(BYTE* pData, LONG cbData);

    const REFERENCE_TIME m_rtDefaultDuration;  // FrameDuration of the slot's fps, fixed at construction
    std::unique_ptr<CIPCameraBase> m_pCamera;  // null until the first stream start
    // m_pCamera for GetStatus on any thread: set once, by the worker that
    // made the reader; the reader lives as long as the pin.
    std::atomic<CIPCameraBase*> m_pStatusCamera{nullptr};
    COculo* const m_pParentFilter;   // the owner; not counted
    REFERENCE_TIME m_rtNextStart;    // worker thread only
    bool m_bTypeBuilt;               // under m_cTypeLock
    bool m_bCued;                    // worker only: a sample went out in this spell

    std::atomic<int> m_iPlayState;              // PlayState; written under the state lock
    // Without a clock: the monotonic ms at which stream time 0 falls, and the
    // stream time at the last pause from running (0 from stopped). Written
    // under the state lock.
    std::atomic<int64_t> m_llRunStartTicks;
    std::atomic<REFERENCE_TIME> m_rtPausedAt;
    CAMEvent m_evStateChanged;                  // automatic reset: wakes WaitUntilDue

    CStatusCard m_card;              // worker only
    uint32_t m_cPicturesAtRunStart;  // worker only: the store's picture count when the run began
};
