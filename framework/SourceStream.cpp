#include "framework/SourceStream.h"

#include "framework/Source.h"
#include "media/IntToWstr.h"
#include "platform/ComRef.h"

namespace {

// Room for any 32-bit pin number, as IntToWstr requires.
const size_t kIdChars = 12;

}  // namespace

CSourceStream::CommandHook CSourceStream::s_pfnCommandHook = nullptr;

CSourceStream::CSourceStream(LPCWSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName)
    : CAMThread(),
      CBaseOutputPin(pObjectName, pms, pms->pStateLock(), phr, pName),
      m_pFilter(pms),
      m_bThreadEnded(false) {
    const HRESULT hr = m_pFilter->AddPin(this);
    if (phr) {
        *phr = hr;
    }
}

CSourceStream::~CSourceStream() { m_pFilter->RemovePin(this); }

HRESULT CSourceStream::OnThreadCreate() { return S_OK; }

HRESULT CSourceStream::OnThreadDestroy() { return S_OK; }

HRESULT CSourceStream::OnThreadStartPlay() { return S_OK; }

HRESULT CSourceStream::GetMediaType(CMediaType* pmt) { return E_UNEXPECTED; }

HRESULT CSourceStream::GetMediaType(int iPosition, CMediaType* pmt) {
    CAutoLock lock(m_pFilter->pStateLock());
    if (iPosition < 0) {
        return E_INVALIDARG;
    }
    if (iPosition > 0) {
        return VFW_S_NO_MORE_ITEMS;
    }
    return GetMediaType(pmt);
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* pmt) {
    CAutoLock lock(m_pFilter->pStateLock());
    CMediaType mt;
    GetMediaType(&mt);
    return mt == *pmt ? S_OK : E_FAIL;
}

STDMETHODIMP CSourceStream::QueryId(LPWSTR* Id) {
    if (!Id) {
        return E_POINTER;
    }
    const int i = m_pFilter->FindPinNumber(static_cast<IPin*>(this));
    if (i < 0) {
        return VFW_E_NOT_FOUND;
    }
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(kIdChars * sizeof(WCHAR)));
    if (!*Id) {
        return E_OUTOFMEMORY;
    }
    IntToWstr(i + 1, *Id);
    return S_OK;
}

// A worker that ended on its own (OnThreadCreate failed) answers nothing
// more: join it without sending commands.
void CSourceStream::CloseEndedWorker() {
    if (ThreadExists() && m_bThreadEnded.load()) {
        Close();
    }
}

HRESULT CSourceStream::Active() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (m_pFilter->IsActive()) {
        return S_FALSE;
    }
    if (!IsConnected()) {
        return S_OK;
    }
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) {
        return hr;
    }
    CloseEndedWorker();
    m_bThreadEnded = false;
    if (!Create()) {
        return E_FAIL;
    }
    hr = Init();
    if (FAILED(hr)) {
        // The worker has replied and is ending; join it now so that a later
        // Pause can start a new one.
        CloseEndedWorker();
        return hr;
    }
    return Pause();
}

// The worker is stopped and joined whatever the decommit answers: a pin left
// with a running worker would be destroyed under it. The decommit's failure
// is still reported.
HRESULT CSourceStream::Inactive() {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected()) {
        return S_OK;
    }
    const HRESULT hr = CBaseOutputPin::Inactive();
    StopWorker();
    return hr;
}

// A worker that cannot answer has ended (CallWorker says so rather than
// wait): the join below then returns at once.
void CSourceStream::StopWorker() {
    if (!ThreadExists()) {
        return;
    }
    if (!m_bThreadEnded.load() && SUCCEEDED(Stop())) {
        Exit();
    }
    Close();
}

DWORD CSourceStream::ThreadProc() {
    DWORD com;
    // Bounded by the client: Active sends CMD_INIT right after Create.
    while ((com = GetRequest()) != CMD_INIT) {
        Reply(static_cast<DWORD>(E_UNEXPECTED));
    }
    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        m_bThreadEnded = true;
        Reply(static_cast<DWORD>(hr));
        return 1;
    }
    Reply(S_OK);

    do {
        com = GetRequest();
        switch (com) {
            case CMD_PAUSE:
            case CMD_RUN:
                Reply(S_OK);
                DoBufferProcessingLoop();
                break;
            case CMD_STOP:
            case CMD_EXIT:
                Reply(S_OK);
                break;
            default:
                Reply(static_cast<DWORD>(E_NOTIMPL));
                break;
        }
    } while (com != CMD_EXIT);

    hr = OnThreadDestroy();
    m_bThreadEnded = true;
    return FAILED(hr) ? 1 : 0;
}

HRESULT CSourceStream::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    // Ends on a pending stop, the end of the stream, an error or a refused
    // delivery; the stop is answered by ThreadProc.
    for (;;) {
        DWORD com;
        if (CheckRequest(&com)) {
            if (com == CMD_STOP) {
                return S_FALSE;
            }
            Reply(com == CMD_RUN || com == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
            continue;
        }
        CComRef<IMediaSample> sample;
        HRESULT hr = GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
        if (FAILED(hr) || !sample) {
            sample.Detach();  // what a failed call left is no reference
            // Decommitted or out of buffers: look for the stop again shortly.
            Sleep(1);
            continue;
        }
        hr = FillBuffer(sample.Get());
        if (hr == S_OK) {
            hr = Deliver(sample.Get());
            if (hr != S_OK) {
                // The downstream pin asks us to stop (S_FALSE) or failed.
                return S_OK;
            }
            continue;
        }
        // The sample goes back to its allocator before the end of the stream goes out.
        sample.Reset();
        DeliverEndOfStream();
        if (hr == S_FALSE) {
            return S_OK;
        }
        m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
}
