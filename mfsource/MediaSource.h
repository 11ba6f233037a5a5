// CMediaSource: a slot's media source for Windows' camera service (the frame
// server), which loads it through the slot's activation object
// (SourceActivate.h), often only to read its formats: building it reads the
// slot's settings (the 64-bit view, as the 64-bit module does) and contacts no
// camera; it writes nothing anywhere. It answers IMFMediaSourceEx,
// IMFGetService (no services) and IKsControl (no property sets: the camera has
// no controls), and has one stream (MediaStream.h), a live one.
//
// Life cycle, through event queues on the source and the stream: Start posts
// MENewStream (MEUpdatedStream when the stream was already running),
// MESourceStarted, then the stream's MEStreamStarted, and starts the camera
// and the pacer; Stop posts MESourceStopped and MEStreamStopped; Pause is not
// a transition a live camera makes. After Shutdown every call answers
// MF_E_SHUTDOWN.
//
// Threads and locks: any thread may call. m_cLock, the source's one lock,
// guards the state of the source and its stream; it is never held while an
// event queue, the stream's camera or pacer (which wait for threads) or a
// caller's callback runs. Start, Stop and Shutdown are meant to come one at a
// time (the pipeline serialises them); run concurrently, each still leaves
// the state consistent.
#pragma once

#include "framework/Unknown.h"
#include "media/CritSec.h"
#include "mfsource/MediaStream.h"
#include "platform/ComObject.h"

class CMediaSource final
    : public CComObject<
          ComInterface<IMFMediaSourceEx, IID_IMFMediaSourceEx, IID_IMFMediaSource, IID_IMFMediaEventGenerator>,
          ComInterface<IMFGetService, IID_IMFGetService>, ComInterface<IKsControl, IID_IKsControl>>,
      public CBaseObject {
public:
    // The source of slot 0..9 with one reference for the caller. A slot that
    // is not usable, or a size no format fits, is an error; so is a system
    // without Media Foundation (kNoMediaFoundation).
    static HRESULT Create(DWORD slot, CMediaSource** ppSource);

    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD dwFlags, IMFMediaEvent** ppEvent) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* pCallback, IUnknown* punkState) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* pResult, IMFMediaEvent** ppEvent) override;
    STDMETHODIMP QueueEvent(MediaEventType met, REFGUID guidExtendedType, HRESULT hrStatus,
                            const PROPVARIANT* pvValue) override;

    // IMFMediaSource
    STDMETHODIMP GetCharacteristics(DWORD* pdwCharacteristics) override;
    STDMETHODIMP CreatePresentationDescriptor(IMFPresentationDescriptor** ppPresentationDescriptor) override;
    STDMETHODIMP Start(IMFPresentationDescriptor* pPresentationDescriptor, const GUID* pguidTimeFormat,
                       const PROPVARIANT* pvarStartPosition) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Shutdown() override;

    // IMFMediaSourceEx: the source's attributes (the same store every time)
    // and the stream's; a Direct3D manager is taken and not used (samples are
    // in system memory).
    STDMETHODIMP GetSourceAttributes(IMFAttributes** ppAttributes) override;
    STDMETHODIMP GetStreamAttributes(DWORD dwStreamIdentifier, IMFAttributes** ppAttributes) override;
    STDMETHODIMP SetD3DManager(IUnknown* pManager) override;

    // IMFGetService
    STDMETHODIMP GetService(REFGUID guidService, REFIID riid, LPVOID* ppvObject) override;

    // IKsControl
    STDMETHODIMP KsProperty(PKSPROPERTY Property, ULONG PropertyLength, LPVOID PropertyData, ULONG DataLength,
                            ULONG* BytesReturned) override;
    STDMETHODIMP KsMethod(PKSMETHOD Method, ULONG MethodLength, LPVOID MethodData, ULONG DataLength,
                          ULONG* BytesReturned) override;
    STDMETHODIMP KsEvent(PKSEVENT Event, ULONG EventLength, LPVOID EventData, ULONG DataLength,
                         ULONG* BytesReturned) override;

    // For the stream.
    // MF_E_SHUTDOWN after Shutdown, else S_OK.
    HRESULT CheckShutdown() EXCLUDES(m_cLock);
    // After the stream started running outside the lock: a Stop, Shutdown or
    // stream stop that came meanwhile has halted what it saw, and wins.
    HRESULT CheckStillRunning() EXCLUDES(m_cLock);
    // Whether the stream delivers now, and in which format.
    bool Delivering(PictureFormat* format) EXCLUDES(m_cLock);
    HRESULT SetStreamState(MF_STREAM_STATE value) EXCLUDES(m_cLock);
    HRESULT GetStreamState(MF_STREAM_STATE* value) EXCLUDES(m_cLock);

private:
    enum class State { kStopped, kStarted, kShutdown };

    CMediaSource(const InstanceSettings& settings, LONGLONG frameDuration);
    ~CMediaSource() override;
    HRESULT Init(const MFPlatFunctions& mf, const InstanceSettings& settings, LONGLONG frameDuration);
    // Whether `pd` selects the stream, and the format of its current type.
    HRESULT ReadSelection(IMFPresentationDescriptor* pd, bool* selected, PictureFormat* format);

    const MFPlatFunctions* m_pMF = nullptr;  // set by Init
    // Set by Init, then read-only.
    CComRef<IMFMediaEventQueue> m_pQueue;
    CComRef<IMFAttributes> m_pAttributes;
    CComRef<IMFPresentationDescriptor> m_pDescriptor;
    StreamTypes m_types;

    CCritSec m_cLock;
    State m_eState GUARDED_BY(m_cLock) = State::kStopped;
    bool m_bStreamRunning GUARDED_BY(m_cLock) = false;
    PictureFormat m_eFormat GUARDED_BY(m_cLock) = PictureFormat::kNv12;

    CMediaStream m_stream;  // last: it goes first, while the lock still exists
};
