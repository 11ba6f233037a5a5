#include "CounterSource.h"

#include <new>

#include "media/MediaType.h"

// {6E2C1A52-3F0B-4C8E-9A57-2B8D3C4E5F61}
const GUID CLSID_CounterSource = {0x6e2c1a52, 0x3f0b, 0x4c8e, {0x9a, 0x57, 0x2b, 0x8d, 0x3c, 0x4e, 0x5f, 0x61}};

std::atomic<int> CCounterSource::s_cDestroyed{0};

void MakeCounterType(CMediaType* pmt, const GUID& subtype) {
    pmt->SetType(&MEDIATYPE_Video);
    pmt->SetSubtype(&subtype);
    pmt->SetFormatType(&FORMAT_VideoInfo);
    pmt->SetTemporalCompression(FALSE);
    pmt->SetSampleSize(kFrameBytes);
    VIDEOINFOHEADER* pvi = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!pvi) {
        return;
    }
    memset(pvi, 0, sizeof(VIDEOINFOHEADER));
    pvi->AvgTimePerFrame = kFrameTime;
    pvi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    pvi->bmiHeader.biWidth = kWidth;
    pvi->bmiHeader.biHeight = kHeight;
    pvi->bmiHeader.biPlanes = 1;
    pvi->bmiHeader.biBitCount = 24;
    pvi->bmiHeader.biSizeImage = kFrameBytes;
}

CCounterStream::CCounterStream(HRESULT* phr, CCounterSource* pFilter)
    : CSourceStream(L"Counter stream", phr, pFilter, L"Output") {}

void CCounterStream::Log(const char* hook) {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_hooks.push_back(hook);
}

std::vector<std::string> CCounterStream::Hooks() {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_hooks;
}

void CCounterStream::ClearHooks() {
    std::lock_guard<std::mutex> hold(m_mutex);
    m_hooks.clear();
}

void CCounterStream::ReleaseHeld() {
    std::vector<IMediaSample*> held;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        held.swap(m_held);
    }
    for (IMediaSample* p : held) {
        p->Release();
    }
}

size_t CCounterStream::HeldCount() {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_held.size();
}

HRESULT CCounterStream::FillBuffer(IMediaSample* pSample) {
    const LONG n = m_iFrame;
    if (m_cfg.endAfter >= 0 && n >= m_cfg.endAfter) {
        return S_FALSE;
    }
    if (m_cfg.failAfter >= 0 && n >= m_cfg.failAfter) {
        return m_cfg.hrFail;
    }
    m_cFills++;
    BYTE* pData = nullptr;
    HRESULT hr = pSample->GetPointer(&pData);
    if (FAILED(hr)) {
        return hr;
    }
    const LONG cb = pSample->GetSize() < kFrameBytes ? pSample->GetSize() : kFrameBytes;
    memset(pData, n & 0xFF, cb);
    if (cb >= static_cast<LONG>(sizeof(LONG))) {
        memcpy(pData, &n, sizeof(LONG));
    }
    pSample->SetActualDataLength(cb);
    REFERENCE_TIME rtStart = n * kFrameTime;
    REFERENCE_TIME rtStop = rtStart + kFrameTime;
    pSample->SetTime(&rtStart, &rtStop);
    pSample->SetSyncPoint(TRUE);
    m_iFrame = n + 1;
    if (m_cfg.holdSamples) {
        pSample->AddRef();
        std::lock_guard<std::mutex> hold(m_mutex);
        m_held.push_back(pSample);
    }
    return S_OK;
}

HRESULT CCounterStream::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) {
    m_propsSeen = *pProps;
    if (FAILED(m_cfg.hrDecideBufferSize)) {
        return m_cfg.hrDecideBufferSize;
    }
    pProps->cBuffers = m_cfg.cBuffers;
    pProps->cbBuffer = kFrameBytes;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = pAlloc->SetProperties(pProps, &actual);
    if (FAILED(hr)) {
        return hr;
    }
    return actual.cbBuffer < kFrameBytes ? E_FAIL : S_OK;
}

HRESULT CCounterStream::GetMediaType(int iPosition, CMediaType* pmt) {
    CAutoLock lock(m_pFilter->pStateLock());
    if (iPosition < 0) {
        return E_INVALIDARG;
    }
    if (iPosition >= static_cast<int>(m_cfg.subtypes.size())) {
        return VFW_S_NO_MORE_ITEMS;
    }
    MakeCounterType(pmt, m_cfg.subtypes[iPosition]);
    return S_OK;
}

HRESULT CCounterStream::CheckMediaType(const CMediaType* pmt) {
    Log("CheckMediaType");
    if (m_cfg.hrCheckMediaType != S_OK) {
        return m_cfg.hrCheckMediaType;
    }
    for (const GUID& subtype : m_cfg.subtypes) {
        CMediaType mt;
        MakeCounterType(&mt, subtype);
        if (mt == *pmt) {
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CCounterStream::SetMediaType(const CMediaType* pmt) {
    Log("SetMediaType");
    return CSourceStream::SetMediaType(pmt);
}

HRESULT CCounterStream::CheckConnect(IPin* pPin) {
    Log("CheckConnect");
    return CSourceStream::CheckConnect(pPin);
}

HRESULT CCounterStream::CompleteConnect(IPin* pReceivePin) {
    Log("CompleteConnect");
    HRESULT hr = CSourceStream::CompleteConnect(pReceivePin);
    if (SUCCEEDED(hr) && FAILED(m_cfg.hrCompleteConnect)) {
        return m_cfg.hrCompleteConnect;
    }
    return hr;
}

HRESULT CCounterStream::BreakConnect() {
    Log("BreakConnect");
    return CSourceStream::BreakConnect();
}

HRESULT CCounterStream::InitAllocator(IMemAllocator** ppAlloc) {
    m_cInitAllocator++;
    if (m_cfg.initAllocator) {
        return m_cfg.initAllocator(ppAlloc);
    }
    return CSourceStream::InitAllocator(ppAlloc);
}

HRESULT CCounterStream::OnThreadCreate() {
    m_cThreadCreates++;
    m_iFrame = 0;
    return m_cfg.hrThreadCreate;
}

HRESULT CCounterStream::OnThreadDestroy() {
    m_cThreadDestroys++;
    return S_OK;
}

HRESULT CCounterStream::OnThreadStartPlay() {
    m_cStartPlays++;
    return S_OK;
}

CCounterSource::CCounterSource() : CSource(L"Counter source", nullptr, CLSID_CounterSource) {}

CCounterSource::~CCounterSource() { s_cDestroyed++; }

CCounterSource* CCounterSource::Create() {
    CCounterSource* pFilter = new (std::nothrow) CCounterSource();
    if (!pFilter) {
        return nullptr;
    }
    HRESULT hr = S_OK;
    CCounterStream* pStream = new (std::nothrow) CCounterStream(&hr, pFilter);
    if (!pStream || FAILED(hr)) {
        delete pStream;
        delete pFilter;
        return nullptr;
    }
    pFilter->m_pStream = pStream;
    pFilter->Filter()->AddRef();
    return pFilter;
}
