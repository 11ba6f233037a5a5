#include "mfsource/MediaStream.h"

#include <cstring>

#include "mfsource/MediaSource.h"

namespace {

// The pacer's clock: Media Foundation's, which the samples' times are on.
LONGLONG SystemTime() { return MFPlat()->GetSystemTime(); }

}  // namespace

CMediaStream::CMediaStream(CMediaSource* source, const InstanceSettings& settings, LONGLONG frameDuration)
    : m_pSource(source), m_llFrameDuration(frameDuration), m_feed(settings), m_pacer(this, SystemTime) {}

CMediaStream::~CMediaStream() { Halt(); }

HRESULT CMediaStream::Init(const MFPlatFunctions& mf, const StreamTypes& types) {
    m_pMF = &mf;
    HRESULT hr = mf.CreateEventQueue(m_pQueue.Put());
    // What the camera service reads of a device's stream: a colour picture
    // of the capture pin, the device's stream 0, shared between applications.
    if (SUCCEEDED(hr)) hr = mf.CreateAttributes(m_pAttributes.Put(), 4);
    if (SUCCEEDED(hr)) hr = m_pAttributes->SetGUID(MF_DEVICESTREAM_STREAM_CATEGORY, PINNAME_VIDEO_CAPTURE);
    if (SUCCEEDED(hr)) hr = m_pAttributes->SetUINT32(MF_DEVICESTREAM_STREAM_ID, 0);
    if (SUCCEEDED(hr)) hr = m_pAttributes->SetUINT32(MF_DEVICESTREAM_FRAMESERVER_SHARED, 1);
    if (SUCCEEDED(hr)) {
        hr = m_pAttributes->SetUINT32(MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES, MFFrameSourceTypes_Color);
    }
    IMFMediaType* offered[StreamTypes::kMaxTypes] = {};
    for (DWORD i = 0; i < types.count; ++i) offered[i] = types.types[i].Get();
    if (SUCCEEDED(hr)) hr = mf.CreateStreamDescriptor(0, types.count, offered, m_pDescriptor.Put());
    if (SUCCEEDED(hr)) hr = m_pAttributes->CopyAllItems(m_pDescriptor.Get());
    CComRef<IMFMediaTypeHandler> handler;
    if (SUCCEEDED(hr)) hr = m_pDescriptor->GetMediaTypeHandler(handler.Put());
    if (SUCCEEDED(hr)) hr = handler->SetCurrentMediaType(offered[0]);
    return hr;
}

STDMETHODIMP CMediaStream::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMFMediaEventGenerator) ||
        IsEqualGUID(riid, IID_IMFMediaStream) || IsEqualGUID(riid, IID_IMFMediaStream2)) {
        *ppv = static_cast<IMFMediaStream2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaStream::AddRef() { return m_pSource->AddRef(); }

STDMETHODIMP_(ULONG) CMediaStream::Release() { return m_pSource->Release(); }

STDMETHODIMP CMediaStream::GetEvent(DWORD dwFlags, IMFMediaEvent** ppEvent) {
    const HRESULT hr = m_pSource->CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->GetEvent(dwFlags, ppEvent);
}

STDMETHODIMP CMediaStream::BeginGetEvent(IMFAsyncCallback* pCallback, IUnknown* punkState) {
    const HRESULT hr = m_pSource->CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->BeginGetEvent(pCallback, punkState);
}

STDMETHODIMP CMediaStream::EndGetEvent(IMFAsyncResult* pResult, IMFMediaEvent** ppEvent) {
    const HRESULT hr = m_pSource->CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->EndGetEvent(pResult, ppEvent);
}

STDMETHODIMP CMediaStream::QueueEvent(MediaEventType met, REFGUID guidExtendedType, HRESULT hrStatus,
                                      const PROPVARIANT* pvValue) {
    const HRESULT hr = m_pSource->CheckShutdown();
    return FAILED(hr) ? hr : m_pQueue->QueueEventParamVar(met, guidExtendedType, hrStatus, pvValue);
}

STDMETHODIMP CMediaStream::GetMediaSource(IMFMediaSource** ppMediaSource) {
    if (!ppMediaSource) return E_POINTER;
    *ppMediaSource = nullptr;
    const HRESULT hr = m_pSource->CheckShutdown();
    if (FAILED(hr)) return hr;
    *ppMediaSource = m_pSource;
    m_pSource->AddRef();
    return S_OK;
}

STDMETHODIMP CMediaStream::GetStreamDescriptor(IMFStreamDescriptor** ppStreamDescriptor) {
    if (!ppStreamDescriptor) return E_POINTER;
    *ppStreamDescriptor = nullptr;
    const HRESULT hr = m_pSource->CheckShutdown();
    return FAILED(hr) ? hr : m_pDescriptor.CopyTo(ppStreamDescriptor);
}

STDMETHODIMP CMediaStream::RequestSample(IUnknown* pToken) {
    PictureFormat format = PictureFormat::kNv12;
    HRESULT hr = m_pSource->CheckShutdown();
    if (FAILED(hr)) return hr;
    // A stop between the look and the request: the pacer refuses it.
    if (!m_pSource->Delivering(&format) || !m_pacer.Request(pToken)) return MF_E_MEDIA_SOURCE_WRONGSTATE;
    return S_OK;
}

STDMETHODIMP CMediaStream::SetStreamState(MF_STREAM_STATE value) { return m_pSource->SetStreamState(value); }

STDMETHODIMP CMediaStream::GetStreamState(MF_STREAM_STATE* value) { return m_pSource->GetStreamState(value); }

HRESULT CMediaStream::Run() {
    if (!m_feed.Start()) return E_OUTOFMEMORY;
    return m_pacer.Start(m_llFrameDuration);
}

void CMediaStream::Halt() {
    m_pacer.Stop();
    m_feed.Stop();
}

void CMediaStream::Shutdown() {
    Halt();
    if (m_pQueue) m_pQueue->Shutdown();
}

void CMediaStream::Post(MediaEventType met, const PROPVARIANT* pvValue) {
    m_pQueue->QueueEventParamVar(met, GUID_NULL, S_OK, pvValue);
}

void CMediaStream::OnSampleDue(IUnknown* token, LONGLONG time) {
    PictureFormat format = PictureFormat::kNv12;
    if (!m_pSource->Delivering(&format)) return;
    size_t cbPicture = 0;
    const BYTE* picture = m_feed.Picture(format, &cbPicture);
    CComRef<IMFSample> sample;
    const HRESULT hr = picture ? MakeSample(picture, cbPicture, time, token, &sample) : E_OUTOFMEMORY;
    // A request that gets no sample gets an error: its reader does not wait forever.
    if (SUCCEEDED(hr)) {
        m_pQueue->QueueEventParamUnk(MEMediaSample, GUID_NULL, S_OK, sample.Get());
    } else {
        m_pQueue->QueueEventParamVar(MEError, GUID_NULL, hr, nullptr);
    }
}

HRESULT CMediaStream::MakeSample(const BYTE* picture, size_t cbPicture, LONGLONG time, IUnknown* token,
                                 CComRef<IMFSample>* sample) const {
    CComRef<IMFMediaBuffer> buffer;
    HRESULT hr = m_pMF->CreateMemoryBuffer(DWORD(cbPicture), buffer.Put());
    BYTE* data = nullptr;
    DWORD cbMax = 0;
    if (SUCCEEDED(hr)) hr = buffer->Lock(&data, &cbMax, nullptr);
    if (SUCCEEDED(hr)) {
        const bool bFits = cbMax >= cbPicture;
        if (bFits) std::memcpy(data, picture, cbPicture);
        buffer->Unlock();
        hr = bFits ? buffer->SetCurrentLength(DWORD(cbPicture)) : E_UNEXPECTED;
    }
    if (SUCCEEDED(hr)) hr = m_pMF->CreateSample(sample->Put());
    IMFSample* s = sample->Get();
    if (SUCCEEDED(hr)) hr = s->AddBuffer(buffer.Get());
    if (SUCCEEDED(hr)) hr = s->SetSampleTime(time);
    if (SUCCEEDED(hr)) hr = s->SetSampleDuration(m_llFrameDuration);
    if (SUCCEEDED(hr)) hr = s->SetUINT32(MFSampleExtension_CleanPoint, TRUE);
    if (SUCCEEDED(hr) && token) hr = s->SetUnknown(MFSampleExtension_Token, token);
    return hr;
}
