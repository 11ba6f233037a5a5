// CMediaStream: the one stream of a slot's media source (MediaSource.h). It
// answers RequestSample through a pacer (SamplePacer.h): each token is answered
// at the slot's frame rate with a sample of the picture feed's latest picture
// (PictureFeed.h) in the stream's format, in a buffer of Media Foundation's
// own, stamped with the tick's time on Media Foundation's clock
// (MFGetSystemTime), one frame long, the token in MFSampleExtension_Token.
//
// Part of its source: it counts its references on the source and lives as
// long as it does; its own IUnknown is its identity. Its state (running or
// not, the format) is the source's, under the source's lock.
//
// Threads: the source's callers; the pacer's thread (OnSampleDue), which
// holds no reference to the source (the source's destruction waits for it).
// Start, Stop and Shutdown wait for threads: the source calls them without
// its lock.
#pragma once

#include "mfsource/PictureFeed.h"
#include "mfsource/SamplePacer.h"
#include "mfsource/StreamTypes.h"

class CMediaSource;

class CMediaStream final : public IMFMediaStream2, public CPacerSink {
public:
    // source: the owner; not counted. No camera is contacted.
    CMediaStream(CMediaSource* source, const InstanceSettings& settings, LONGLONG frameDuration);
    ~CMediaStream();
    CMediaStream(const CMediaStream&) = delete;
    CMediaStream& operator=(const CMediaStream&) = delete;

    // Its event queue, attributes and descriptor (current type: the first).
    HRESULT Init(const MFPlatFunctions& mf, const StreamTypes& types);

    // IUnknown: the stream's own identity, counted on the source.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD dwFlags, IMFMediaEvent** ppEvent) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* pCallback, IUnknown* punkState) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* pResult, IMFMediaEvent** ppEvent) override;
    STDMETHODIMP QueueEvent(MediaEventType met, REFGUID guidExtendedType, HRESULT hrStatus,
                            const PROPVARIANT* pvValue) override;

    // IMFMediaStream
    STDMETHODIMP GetMediaSource(IMFMediaSource** ppMediaSource) override;
    STDMETHODIMP GetStreamDescriptor(IMFStreamDescriptor** ppStreamDescriptor) override;
    STDMETHODIMP RequestSample(IUnknown* pToken) override;

    // IMFMediaStream2: stopped or running (while the source runs); never paused.
    STDMETHODIMP SetStreamState(MF_STREAM_STATE value) override;
    STDMETHODIMP GetStreamState(MF_STREAM_STATE* value) override;

    // For the source, which holds none of its locks.
    // Starts the camera and the pacer.
    HRESULT Run();
    // Stops the pacer (its queued requests go) and the camera.
    void Halt();
    // Halt, and no more events.
    void Shutdown();
    // Posts an event of its own (MEStreamStarted, MEStreamStopped).
    void Post(MediaEventType met, const PROPVARIANT* pvValue);
    IMFAttributes* Attributes() const { return m_pAttributes.Get(); }

    // The pacer's thread.
    void OnSampleDue(IUnknown* token, LONGLONG time) override;

private:
    HRESULT MakeSample(const BYTE* picture, size_t cbPicture, LONGLONG time, IUnknown* token,
                       CComRef<IMFSample>* sample) const;

    CMediaSource* const m_pSource;
    const LONGLONG m_llFrameDuration;
    const MFPlatFunctions* m_pMF = nullptr;  // set by Init
    // Set by Init, then read-only.
    CComRef<IMFMediaEventQueue> m_pQueue;
    CComRef<IMFAttributes> m_pAttributes;
    CComRef<IMFStreamDescriptor> m_pDescriptor;

    CPictureFeed m_feed;
    CSamplePacer m_pacer;  // after the feed: its thread, which uses the feed, ends first
};
