// Small hand-written peers for the host tests: a media sample, an output pin
// that connects like an upstream pin does, and a filter around it that
// records when the graph reaches it.
#pragma once

#include <functional>
#include <vector>

#include "platform/ComRef.h"
#include "platform/platform.h"
#include "tests/FakeUnknown.h"

// A media sample over its own buffer.
class CFakeSample final : public CFakeUnknown<ComInterface<IMediaSample, IID_IMediaSample>> {
public:
    explicit CFakeSample(LONG size) : m_buffer(static_cast<size_t>(size)), m_lActual(size) {}

    STDMETHODIMP GetPointer(BYTE** pp) override {
        *pp = m_buffer.data();
        return S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return static_cast<LONG>(m_buffer.size()); }
    STDMETHODIMP GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        if (!m_bTime) return VFW_E_SAMPLE_TIME_NOT_SET;
        *s = m_rtStart;
        *e = m_rtStop;
        return S_OK;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        m_bTime = s != nullptr;
        if (s) m_rtStart = *s;
        m_rtStop = e ? *e : m_rtStart + 1;
        return S_OK;
    }
    STDMETHODIMP IsSyncPoint() override { return m_bSync ? S_OK : S_FALSE; }
    STDMETHODIMP SetSyncPoint(BOOL b) override {
        m_bSync = b != FALSE;
        return S_OK;
    }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
    STDMETHODIMP_(LONG) GetActualDataLength() override { return m_lActual; }
    STDMETHODIMP SetActualDataLength(LONG n) override {
        m_lActual = n;  // deliberately unchecked: tests hand the sink lengths that lie
        return S_OK;
    }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** pp) override {
        *pp = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDiscontinuity() override { return m_bDiscontinuity ? S_OK : S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL b) override {
        m_bDiscontinuity = b != FALSE;
        return S_OK;
    }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

    BYTE* Data() { return m_buffer.data(); }

private:
    ~CFakeSample() override = default;
    std::vector<BYTE> m_buffer;
    LONG m_lActual;
    bool m_bTime = false;
    REFERENCE_TIME m_rtStart = 0;
    REFERENCE_TIME m_rtStop = 0;
    bool m_bSync = false;
    bool m_bDiscontinuity = false;
};

// RGB24 video of the given size with a complete VIDEOINFOHEADER; the format
// block lives in *pFormat.
inline AM_MEDIA_TYPE VideoType(LONG width, LONG height, VIDEOINFOHEADER* pFormat) {
    *pFormat = VIDEOINFOHEADER{};
    pFormat->AvgTimePerFrame = 333333;
    pFormat->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    pFormat->bmiHeader.biWidth = width;
    pFormat->bmiHeader.biHeight = height;
    pFormat->bmiHeader.biPlanes = 1;
    pFormat->bmiHeader.biBitCount = 24;
    pFormat->bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 3);
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = pFormat->bmiHeader.biSizeImage;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(VIDEOINFOHEADER);
    mt.pbFormat = reinterpret_cast<BYTE*>(pFormat);
    return mt;
}

// An upstream output pin: leads the connection with the given type (its
// preferred type when none is given) and delivers what the test hands it.
// Lives on the test's stack or inside its filter; the count is for checks only.
class CFakeOutputPin final : public CFakeUnknown<ComInterface<IPin, IID_IPin>> {
public:
    explicit CFakeOutputPin(IBaseFilter* pFilter = nullptr) : CFakeUnknown(FakeLife::Held, 0), m_pFilter(pFilter) {
        m_preferred = VideoType(4, 2, &m_format);
    }
    ~CFakeOutputPin() override { Disconnect(); }

    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override {
        ++m_cConnects;
        const AM_MEDIA_TYPE* type = pmt ? pmt : &m_preferred;
        HRESULT hr = pReceivePin->ReceiveConnection(this, type);
        if (FAILED(hr)) return hr;
        m_peer = CComRef<IPin>(pReceivePin);
        m_peer.As(IID_IMemInputPin, &m_input);
        return S_OK;
    }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return VFW_E_INVALID_DIRECTION; }
    STDMETHODIMP Disconnect() override {
        if (!m_peer) return S_FALSE;
        m_input.Reset();
        m_peer.Reset();
        return S_OK;
    }
    STDMETHODIMP ConnectedTo(IPin** pp) override {
        *pp = m_peer.Get();
        if (!m_peer) return VFW_E_NOT_CONNECTED;
        m_peer->AddRef();
        return S_OK;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPinInfo(PIN_INFO* p) override {
        *p = PIN_INFO{};
        p->pFilter = m_pFilter;
        if (m_pFilter) m_pFilter->AddRef();
        p->dir = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* p) override {
        *p = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // Delivers one sample of `size` bytes filled with `fill`, starting at rtStart.
    HRESULT Deliver(LONG size, BYTE fill, REFERENCE_TIME rtStart, REFERENCE_TIME rtStop) {
        if (!m_input) return VFW_E_NOT_CONNECTED;
        CFakeSample* sample = new CFakeSample(size);
        for (LONG i = 0; i < size; ++i) sample->Data()[i] = fill;
        sample->SetTime(&rtStart, &rtStop);
        HRESULT hr = m_input->Receive(sample);
        sample->Release();
        return hr;
    }

    IPin* Peer() const { return m_peer.Get(); }
    IMemInputPin* Input() const { return m_input.Get(); }
    int ConnectCount() const { return m_cConnects; }
    AM_MEDIA_TYPE m_preferred;

private:
    IBaseFilter* m_pFilter;  // owner, no reference (for QueryPinInfo)
    VIDEOINFOHEADER m_format;
    CComRef<IPin> m_peer;
    CComRef<IMemInputPin> m_input;
    int m_cConnects = 0;
};

// A source filter around one CFakeOutputPin; runs a hook on every state
// change so a test can see what the graph had done before. Lives on the
// test's stack: the count is for checks only.
class CFakeSourceFilter final
    : public CFakeUnknown<ComInterface<IBaseFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist>> {
public:
    CFakeSourceFilter() : CFakeUnknown(FakeLife::Held, 0), m_pin(this) {}

    std::function<void(FILTER_STATE)> onState;
    CFakeOutputPin& Pin() { return m_pin; }
    IFilterGraph* Graph() const { return m_pGraph; }

    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return Enter(State_Stopped); }
    STDMETHODIMP Pause() override { return Enter(State_Paused); }
    STDMETHODIMP Run(REFERENCE_TIME tStart) override {
        m_rtStart = tStart;
        return Enter(State_Running);
    }
    STDMETHODIMP GetState(DWORD, FILTER_STATE* s) override {
        *s = m_state;
        return S_OK;
    }
    STDMETHODIMP SetSyncSource(IReferenceClock* c) override {
        m_clock = CComRef<IReferenceClock>(c);
        return S_OK;
    }
    STDMETHODIMP GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumPins(IEnumPins** pp) override;
    STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP JoinFilterGraph(IFilterGraph* g, LPCWSTR) override {
        m_pGraph = g;
        return S_OK;
    }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    CComRef<IReferenceClock> m_clock;
    HRESULT m_hrPause = S_OK;
    REFERENCE_TIME m_rtStart = 0;

private:
    HRESULT Enter(FILTER_STATE s) {
        if (s == State_Paused && FAILED(m_hrPause)) return m_hrPause;
        if (onState) onState(s);
        m_state = s;
        return S_OK;
    }
    CFakeOutputPin m_pin;
    FILTER_STATE m_state = State_Stopped;
    IFilterGraph* m_pGraph = nullptr;
};

// Enumerates the fake source's one pin.
class CFakePinEnum final : public CFakeUnknown<ComInterface<IEnumPins, IID_IEnumPins>> {
public:
    explicit CFakePinEnum(IPin* pPin) : m_pPin(pPin) {}
    STDMETHODIMP Next(ULONG c, IPin** pp, ULONG* fetched) override {
        ULONG n = (c > 0 && !m_bDone) ? 1 : 0;
        if (n) {
            pp[0] = m_pPin;
            m_pPin->AddRef();
            m_bDone = true;
        }
        if (fetched) *fetched = n;
        return n == c ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override {
        m_bDone = false;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins**) override { return E_NOTIMPL; }

private:
    IPin* m_pPin;
    bool m_bDone = false;
};

inline STDMETHODIMP CFakeSourceFilter::EnumPins(IEnumPins** pp) {
    *pp = new CFakePinEnum(&m_pin);
    return S_OK;
}
