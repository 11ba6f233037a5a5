#include "mfsource/MediaSource.h"

#include <new>

#include "filter/OculoStream.h"
#include "module/SlotClasses.h"

namespace {

PROPVARIANT TimeValue(LONGLONG time) {
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_I8;
    value.hVal.QuadPart = time;
    return value;
}

}  // namespace

HRESULT CMediaSource::Create(DWORD slot, CMediaSource** ppSource) {
    if (!ppSource) return E_POINTER;
    *ppSource = nullptr;
    const MFPlatFunctions* mf = MFPlat();
    if (!mf) return kNoMediaFoundation;
    const InstanceSettings settings = LoadInstanceSettings(slot);
    if (slot >= g_cSlots || !IsInstanceUsable(settings)) return HRESULT_FROM_WIN32(ERROR_NOT_READY);
    // The pin's own rule: a rate out of range is brought into it.
    const LONGLONG frameDuration = COculoStream::FrameDuration(settings.fps);
    CMediaSource* source = new (std::nothrow) CMediaSource(settings, frameDuration);
    if (!source) return E_OUTOFMEMORY;
    const HRESULT hr = source->Init(*mf, settings, frameDuration);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    *ppSource = source;
    return S_OK;
}

CMediaSource::CMediaSource(const InstanceSettings& settings, LONGLONG frameDuration)
    : CBaseObject(L"Media source"), m_stream(this, settings, frameDuration) {}

CMediaSource::~CMediaSource() = default;

HRESULT CMediaSource::Init(const MFPlatFunctions& mf, const InstanceSettings& settings, LONGLONG frameDuration) {
    m_pMF = &mf;
    HRESULT hr = CreateStreamTypes(mf, settings.w, settings.h, frameDuration, &m_types);
    if (SUCCEEDED(hr)) hr = mf.CreateEventQueue(m_pQueue.Put());
    if (SUCCEEDED(hr)) hr = mf.CreateAttributes(m_pAttributes.Put(), 1);
    if (SUCCEEDED(hr)) hr = m_stream.Init(mf, m_types);
    CComRef<IMFStreamDescriptor> stream;
    if (SUCCEEDED(hr)) hr = m_stream.GetStreamDescriptor(stream.Put());
    IMFStreamDescriptor* streams[] = {stream.Get()};
    if (SUCCEEDED(hr)) hr = mf.CreatePresentationDescriptor(1, streams, m_pDescriptor.Put());
    if (SUCCEEDED(hr)) hr = m_pDescriptor->SelectStream(0);
    return hr;
}

HRESULT CMediaSource::CheckShutdown() {
    CAutoLock lock(&m_cLock);
    return m_eState == State::kShutdown ? MF_E_SHUTDOWN : S_OK;
}

HRESULT CMediaSource::CheckStillRunning() {
    CAutoLock lock(&m_cLock);
    if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
    return m_eState == State::kStarted && m_bStreamRunning ? S_OK : MF_E_INVALIDREQUEST;
}

bool CMediaSource::Delivering(PictureFormat* format) {
    CAutoLock lock(&m_cLock);
    *format = m_eFormat;
    return m_eState == State::kStarted && m_bStreamRunning;
}

STDMETHODIMP CMediaSource::GetEvent(DWORD dwFlags, IMFMediaEvent** ppEvent) {
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->GetEvent(dwFlags, ppEvent);
}

STDMETHODIMP CMediaSource::BeginGetEvent(IMFAsyncCallback* pCallback, IUnknown* punkState) {
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->BeginGetEvent(pCallback, punkState);
}

STDMETHODIMP CMediaSource::EndGetEvent(IMFAsyncResult* pResult, IMFMediaEvent** ppEvent) {
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->EndGetEvent(pResult, ppEvent);
}

STDMETHODIMP CMediaSource::QueueEvent(MediaEventType met, REFGUID guidExtendedType, HRESULT hrStatus,
                                      const PROPVARIANT* pvValue) {
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->QueueEventParamVar(met, guidExtendedType, hrStatus, pvValue);
}

STDMETHODIMP CMediaSource::GetCharacteristics(DWORD* pdwCharacteristics) {
    if (!pdwCharacteristics) return E_POINTER;
    const HRESULT hr = CheckShutdown();
    if (SUCCEEDED(hr)) *pdwCharacteristics = MFMEDIASOURCE_IS_LIVE;
    return hr;
}

STDMETHODIMP CMediaSource::CreatePresentationDescriptor(IMFPresentationDescriptor** ppPresentationDescriptor) {
    if (!ppPresentationDescriptor) return E_POINTER;
    *ppPresentationDescriptor = nullptr;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pDescriptor->Clone(ppPresentationDescriptor);
}

HRESULT CMediaSource::ReadSelection(IMFPresentationDescriptor* pd, bool* selected, PictureFormat* format) {
    DWORD count = 0;
    HRESULT hr = pd->GetStreamDescriptorCount(&count);
    if (FAILED(hr)) return hr;
    for (DWORD i = 0; i < count; ++i) {
        BOOL bSelected = FALSE;
        CComRef<IMFStreamDescriptor> stream;
        DWORD id = 0;
        hr = pd->GetStreamDescriptorByIndex(i, &bSelected, stream.Put());
        if (SUCCEEDED(hr)) hr = stream->GetStreamIdentifier(&id);
        if (FAILED(hr)) return hr;
        if (id != 0) continue;
        *selected = bSelected != FALSE;
        *format = m_types.formats[0];
        CComRef<IMFMediaTypeHandler> handler;
        CComRef<IMFMediaType> type;
        // No current type: the first offered.
        if (FAILED(stream->GetMediaTypeHandler(handler.Put())) || FAILED(handler->GetCurrentMediaType(type.Put()))) {
            return S_OK;
        }
        return FindStreamFormat(m_types, type.Get(), format) ? S_OK : MF_E_INVALIDMEDIATYPE;
    }
    return MF_E_INVALIDSTREAMNUMBER;
}

STDMETHODIMP CMediaSource::Start(IMFPresentationDescriptor* pPresentationDescriptor, const GUID* pguidTimeFormat,
                                 const PROPVARIANT* pvarStartPosition) {
    if (!pPresentationDescriptor) return E_INVALIDARG;
    if (pguidTimeFormat && !IsEqualGUID(*pguidTimeFormat, GUID_NULL)) return MF_E_UNSUPPORTED_TIME_FORMAT;
    if (pvarStartPosition && pvarStartPosition->vt != VT_EMPTY && pvarStartPosition->vt != VT_I8) {
        return MF_E_UNSUPPORTED_TIME_FORMAT;
    }
    bool bSelected = false;
    PictureFormat format = PictureFormat::kNv12;
    HRESULT hr = CheckShutdown();
    if (SUCCEEDED(hr)) hr = ReadSelection(pPresentationDescriptor, &bSelected, &format);
    if (FAILED(hr)) return hr;

    bool bWasRunning = false;
    {
        CAutoLock lock(&m_cLock);
        if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
        bWasRunning = m_bStreamRunning;
        m_eState = State::kStarted;
        m_bStreamRunning = bSelected;
        m_eFormat = format;
    }
    if (bSelected) {
        hr = m_stream.Run();
        if (SUCCEEDED(hr)) hr = CheckStillRunning();
    } else {
        m_stream.Halt();
    }
    if (FAILED(hr)) {
        {
            CAutoLock lock(&m_cLock);
            if (m_eState == State::kStarted) m_eState = State::kStopped;
            m_bStreamRunning = false;
        }
        m_stream.Halt();
        return hr;
    }

    PROPVARIANT startTime = TimeValue(m_pMF->GetSystemTime());
    if (bSelected) {
        m_pQueue->QueueEventParamUnk(bWasRunning ? MEUpdatedStream : MENewStream, GUID_NULL, S_OK,
                                     static_cast<IMFMediaStream*>(&m_stream));
    }
    m_pQueue->QueueEventParamVar(MESourceStarted, GUID_NULL, S_OK, &startTime);
    if (bSelected) m_stream.Post(MEStreamStarted, &startTime);
    return S_OK;
}

STDMETHODIMP CMediaSource::Stop() {
    bool bWasRunning = false;
    {
        CAutoLock lock(&m_cLock);
        if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
        bWasRunning = m_bStreamRunning;
        m_eState = State::kStopped;
        m_bStreamRunning = false;
    }
    // The pacer's last sample, if one was under way, is out before the stop's events.
    m_stream.Halt();
    m_pQueue->QueueEventParamVar(MESourceStopped, GUID_NULL, S_OK, nullptr);
    if (bWasRunning) m_stream.Post(MEStreamStopped, nullptr);
    return S_OK;
}

STDMETHODIMP CMediaSource::Pause() {
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : MF_E_INVALID_STATE_TRANSITION;
}

STDMETHODIMP CMediaSource::Shutdown() {
    {
        CAutoLock lock(&m_cLock);
        if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
        m_eState = State::kShutdown;
        m_bStreamRunning = false;
    }
    m_stream.Shutdown();
    // Drops the events nobody took, and with them their references to the stream.
    m_pQueue->Shutdown();
    return S_OK;
}

STDMETHODIMP CMediaSource::GetSourceAttributes(IMFAttributes** ppAttributes) {
    if (!ppAttributes) return E_POINTER;
    *ppAttributes = nullptr;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : m_pAttributes.CopyTo(ppAttributes);
}

STDMETHODIMP CMediaSource::GetStreamAttributes(DWORD dwStreamIdentifier, IMFAttributes** ppAttributes) {
    if (!ppAttributes) return E_POINTER;
    *ppAttributes = nullptr;
    HRESULT hr = CheckShutdown();
    if (SUCCEEDED(hr) && dwStreamIdentifier != 0) hr = MF_E_INVALIDSTREAMNUMBER;
    if (FAILED(hr)) return hr;
    *ppAttributes = m_stream.Attributes();
    (*ppAttributes)->AddRef();
    return S_OK;
}

STDMETHODIMP CMediaSource::SetD3DManager(IUnknown* /*pManager*/) { return CheckShutdown(); }

STDMETHODIMP CMediaSource::GetService(REFGUID /*guidService*/, REFIID /*riid*/, LPVOID* ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : MF_E_UNSUPPORTED_SERVICE;
}

// No property, method or event set is supported: the frame server asks, and
// takes this answer as "none".
STDMETHODIMP CMediaSource::KsProperty(PKSPROPERTY, ULONG, LPVOID, ULONG, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

STDMETHODIMP CMediaSource::KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

STDMETHODIMP CMediaSource::KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG* BytesReturned) {
    if (BytesReturned) *BytesReturned = 0;
    const HRESULT hr = CheckShutdown();
    return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
}

HRESULT CMediaSource::SetStreamState(MF_STREAM_STATE value) {
    if (value != MF_STREAM_STATE_STOPPED && value != MF_STREAM_STATE_RUNNING) {
        if (value != MF_STREAM_STATE_PAUSED) return E_INVALIDARG;
        const HRESULT hr = CheckShutdown();
        return FAILED(hr) ? hr : MF_E_INVALID_STATE_TRANSITION;
    }
    const bool bRun = value == MF_STREAM_STATE_RUNNING;
    {
        CAutoLock lock(&m_cLock);
        if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
        if (bRun && m_eState != State::kStarted) return MF_E_INVALID_STATE_TRANSITION;
        if (m_bStreamRunning == bRun) return S_OK;
        m_bStreamRunning = bRun;
    }
    if (!bRun) {
        m_stream.Halt();
        return S_OK;
    }
    HRESULT hr = m_stream.Run();
    if (SUCCEEDED(hr)) hr = CheckStillRunning();
    if (FAILED(hr)) {
        {
            CAutoLock lock(&m_cLock);
            m_bStreamRunning = false;
        }
        m_stream.Halt();
    }
    return hr;
}

HRESULT CMediaSource::GetStreamState(MF_STREAM_STATE* value) {
    if (!value) return E_POINTER;
    CAutoLock lock(&m_cLock);
    if (m_eState == State::kShutdown) return MF_E_SHUTDOWN;
    *value = m_bStreamRunning ? MF_STREAM_STATE_RUNNING : MF_STREAM_STATE_STOPPED;
    return S_OK;
}
