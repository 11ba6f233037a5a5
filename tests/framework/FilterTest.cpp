// The base and source filter, pin identity and lifetime, and the two
// enumerators, on the counter source without a peer.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CounterSource.h"
#include "framework/ClassFactory.h"
#include "tests/FakeUnknown.h"

// This binary serves no classes; the framework's factory reads the table.
CFactoryTemplate g_Templates[1] = {{L"none", &CLSID_CounterSource, nullptr, nullptr, nullptr}};
int g_cTemplates = 0;

namespace {

// A graph that only records events, for the filter's graph membership. Lives
// on the stack.
class CFakeGraph final : public CFakeUnknown<ComInterface<IFilterGraph, IID_IFilterGraph>,
                                             ComInterface<IMediaEventSink, IID_IMediaEventSink>> {
public:
    CFakeGraph() : CFakeUnknown(FakeLife::Held) {}
    LONG m_lastCode = 0;
    LONG_PTR m_lastParam1 = 0;
    LONG_PTR m_lastParam2 = 0;

    STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }
    STDMETHODIMP Notify(LONG code, LONG_PTR p1, LONG_PTR p2) override {
        m_lastCode = code;
        m_lastParam1 = p1;
        m_lastParam2 = p2;
        return S_OK;
    }
};

// Lives on the stack. GetTime may run a test's action first (taking the
// clock away, say) and records the count it then sees.
class CFakeClock final : public CFakeUnknown<ComInterface<IReferenceClock, IID_IReferenceClock>> {
public:
    CFakeClock() : CFakeUnknown(FakeLife::Held) {}
    REFERENCE_TIME m_now = 0;
    std::function<void()> m_onGetTime;
    LONG m_cRefInGetTime = 0;
    STDMETHODIMP GetTime(REFERENCE_TIME* p) override {
        if (m_onGetTime) {
            m_onGetTime();
        }
        m_cRefInGetTime = RefCount();
        *p = m_now;
        return S_OK;
    }
    STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
};

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_pSource = CCounterSource::Create();
        ASSERT_NE(m_pSource, nullptr);
        m_cDestroyedBefore = CCounterSource::s_cDestroyed.load();
    }
    void TearDown() override {
        if (m_pSource) {
            EXPECT_EQ(m_pSource->Filter()->Release(), 0u);
        }
        EXPECT_EQ(CCounterSource::s_cDestroyed.load(), m_cDestroyedBefore + 1);
    }
    CCounterSource* m_pSource = nullptr;
    int m_cDestroyedBefore = 0;
};

TEST_F(FilterTest, PinReferencesCountOnTheFilterWhichDiesOnceWhenTheLastGoes) {
    IPin* pPin = m_pSource->OutputPin();
    EXPECT_EQ(pPin->AddRef(), 2u);
    EXPECT_EQ(m_pSource->RefCount(), 2);
    IQualityControl* pQc = nullptr;
    ASSERT_EQ(pPin->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&pQc)), S_OK);
    EXPECT_EQ(m_pSource->RefCount(), 3);
    IBaseFilter* pFromPin = nullptr;
    PIN_INFO info{};
    ASSERT_EQ(pPin->QueryPinInfo(&info), S_OK);
    pFromPin = info.pFilter;
    EXPECT_EQ(pFromPin, m_pSource->Filter());
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(std::wstring(info.achName), L"Output");
    EXPECT_EQ(m_pSource->RefCount(), 4);

    // The filter's own reference goes first: the pins keep it alive.
    EXPECT_EQ(m_pSource->Filter()->Release(), 3u);
    EXPECT_EQ(pFromPin->Release(), 2u);
    EXPECT_EQ(pQc->Release(), 1u);
    EXPECT_EQ(CCounterSource::s_cDestroyed.load(), m_cDestroyedBefore);
    EXPECT_EQ(pPin->Release(), 0u);
    m_pSource = nullptr;  // TearDown checks it died exactly once
}

TEST_F(FilterTest, FindPinAndQueryIdUseOneBasedDecimalIds) {
    IPin* pPin = nullptr;
    EXPECT_EQ(m_pSource->FindPin(L"1", &pPin), S_OK);
    EXPECT_EQ(pPin, m_pSource->OutputPin());
    pPin->Release();
    for (const wchar_t* id : {L"0", L"x", L"2", L"-1"}) {
        pPin = m_pSource->OutputPin();
        EXPECT_EQ(m_pSource->FindPin(id, &pPin), VFW_E_NOT_FOUND);
        EXPECT_EQ(pPin, nullptr);
    }
    LPWSTR id = nullptr;
    ASSERT_EQ(m_pSource->OutputPin()->QueryId(&id), S_OK);
    EXPECT_EQ(std::wstring(id), L"1");
    CoTaskMemFree(id);
    EXPECT_EQ(m_pSource->RefCount(), 1);
}

TEST_F(FilterTest, StatesWithAnUnconnectedPinStartNoWorker) {
    IBaseFilter* f = m_pSource->Filter();
    FILTER_STATE fs = State_Running;
    EXPECT_EQ(f->Stop(), S_OK);
    EXPECT_EQ(f->Pause(), S_OK);
    EXPECT_EQ(f->GetState(0, &fs), S_OK);
    EXPECT_EQ(fs, State_Paused);
    EXPECT_EQ(f->Run(0), S_OK);
    EXPECT_EQ(f->GetState(0, &fs), S_OK);
    EXPECT_EQ(fs, State_Running);
    EXPECT_EQ(f->Stop(), S_OK);
    EXPECT_EQ(f->GetState(0, &fs), S_OK);
    EXPECT_EQ(fs, State_Stopped);
    EXPECT_EQ(m_pSource->Stream()->m_cThreadCreates.load(), 0);
    EXPECT_FALSE(m_pSource->Stream()->ThreadExists());
    CLSID clsid{};
    EXPECT_EQ(f->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CounterSource);
    EXPECT_EQ(f->GetClassID(nullptr), E_POINTER);
    EXPECT_EQ(f->GetState(0, nullptr), E_POINTER);
}

TEST_F(FilterTest, GraphMembershipNameAndEvents) {
    IBaseFilter* f = m_pSource->Filter();
    EXPECT_EQ(m_pSource->NotifyEvent(EC_COMPLETE, 0, 0), E_NOTIMPL);
    CFakeGraph graph;
    EXPECT_EQ(f->JoinFilterGraph(&graph, nullptr), S_OK);
    EXPECT_EQ(graph.RefCount(), 1);  // held without a reference
    FILTER_INFO info{};
    info.achName[0] = L'?';
    ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.achName[0], L'\0');
    EXPECT_EQ(info.pGraph, &graph);
    EXPECT_EQ(graph.RefCount(), 2);
    info.pGraph->Release();

    // EC_COMPLETE carries the filter as its second parameter.
    EXPECT_EQ(m_pSource->NotifyEvent(EC_COMPLETE, 7, 9), S_OK);
    EXPECT_EQ(graph.m_lastParam1, 7);
    EXPECT_EQ(graph.m_lastParam2, reinterpret_cast<LONG_PTR>(f));
    EXPECT_EQ(m_pSource->NotifyEvent(EC_ERRORABORT, E_FAIL, 9), S_OK);
    EXPECT_EQ(graph.m_lastParam2, 9);

    const std::wstring longName(200, L'n');
    EXPECT_EQ(f->JoinFilterGraph(&graph, longName.c_str()), S_OK);
    ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(std::wstring(info.achName), longName.substr(0, MAX_FILTER_NAME - 1));
    info.pGraph->Release();

    EXPECT_EQ(f->JoinFilterGraph(nullptr, nullptr), S_OK);
    EXPECT_EQ(m_pSource->NotifyEvent(EC_COMPLETE, 0, 0), E_NOTIMPL);
    ASSERT_EQ(f->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.pGraph, nullptr);
    EXPECT_EQ(graph.RefCount(), 1);
}

TEST_F(FilterTest, ClockIsCountedAndGivesStreamTime) {
    IBaseFilter* f = m_pSource->Filter();
    REFERENCE_TIME rt = 0;
    EXPECT_EQ(m_pSource->StreamTime(rt), VFW_E_NO_CLOCK);
    CFakeClock clock;
    EXPECT_EQ(f->SetSyncSource(&clock), S_OK);
    EXPECT_EQ(f->SetSyncSource(&clock), S_OK);  // the same clock again stays alive
    EXPECT_EQ(clock.RefCount(), 2);
    IReferenceClock* pGot = nullptr;
    EXPECT_EQ(f->GetSyncSource(&pGot), S_OK);
    EXPECT_EQ(pGot, &clock);
    pGot->Release();
    clock.m_now = 5000;
    EXPECT_EQ(f->Run(1000), S_OK);
    EXPECT_EQ(m_pSource->StreamTime(rt), S_OK);
    EXPECT_EQ(rt, 4000);
    EXPECT_EQ(f->Stop(), S_OK);
    EXPECT_EQ(f->SetSyncSource(nullptr), S_OK);
    EXPECT_EQ(clock.RefCount(), 1);
    EXPECT_EQ(f->GetSyncSource(&pGot), S_OK);
    EXPECT_EQ(pGot, nullptr);
}

// A clock taken away while a worker reads the stream time stays alive until
// that read ends: the reader counts it for the read.
TEST_F(FilterTest, ClockTakenAwayDuringAReadOutlivesTheRead) {
    IBaseFilter* f = m_pSource->Filter();
    CFakeClock clock;
    ASSERT_EQ(f->SetSyncSource(&clock), S_OK);
    clock.m_onGetTime = [f] { f->SetSyncSource(nullptr); };
    REFERENCE_TIME rt = 0;
    EXPECT_EQ(m_pSource->StreamTime(rt), S_OK);
    EXPECT_EQ(clock.m_cRefInGetTime, 2);  // the test's and the reader's
    EXPECT_EQ(clock.RefCount(), 1);
    EXPECT_EQ(m_pSource->StreamTime(rt), VFW_E_NO_CLOCK);
}

TEST_F(FilterTest, PinEnumeratorPositionsSkipCloneAndReset) {
    IEnumPins* pEnum = nullptr;
    ASSERT_EQ(m_pSource->Filter()->EnumPins(&pEnum), S_OK);
    EXPECT_EQ(m_pSource->RefCount(), 2);  // the enumerator holds the filter
    IPin* pins[2] = {nullptr, nullptr};
    ULONG fetched = 9;
    EXPECT_EQ(pEnum->Next(2, pins, nullptr), E_INVALIDARG);
    EXPECT_EQ(pins[0], nullptr);
    EXPECT_EQ(pEnum->Skip(2), S_FALSE);
    EXPECT_EQ(pEnum->Next(1, pins, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(pins[0], m_pSource->OutputPin());
    pins[0]->Release();
    EXPECT_EQ(pEnum->Next(1, pins, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    IEnumPins* pClone = nullptr;
    ASSERT_EQ(pEnum->Clone(&pClone), S_OK);
    EXPECT_EQ(pClone->Next(1, pins, &fetched), S_FALSE);  // same position
    EXPECT_EQ(pClone->Reset(), S_OK);
    EXPECT_EQ(pClone->Next(2, pins, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    pins[0]->Release();
    EXPECT_EQ(pClone->Release(), 0u);

    EXPECT_EQ(pEnum->Reset(), S_OK);
    EXPECT_EQ(pEnum->Next(1, pins, nullptr), S_OK);
    pins[0]->Release();

    // A new pin version: Skip and Clone refuse; Next re-synchronises but does
    // not hand out a pin it already gave since the last Reset.
    m_pSource->SetPinVersion(2);
    EXPECT_EQ(pEnum->Skip(0), VFW_E_ENUM_OUT_OF_SYNC);
    pClone = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(pEnum->Clone(&pClone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(pClone, nullptr);
    EXPECT_EQ(pEnum->Next(1, pins, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(pEnum->Reset(), S_OK);
    EXPECT_EQ(pEnum->Next(1, pins, &fetched), S_OK);
    pins[0]->Release();

    EXPECT_EQ(pEnum->Release(), 0u);
    EXPECT_EQ(m_pSource->RefCount(), 1);
}

TEST_F(FilterTest, MediaTypeEnumeratorPositionsAndOutOfSync) {
    CCounterStream* pStream = m_pSource->Stream();
    IEnumMediaTypes* pEnum = nullptr;
    ASSERT_EQ(pStream->EnumMediaTypes(&pEnum), S_OK);
    EXPECT_EQ(m_pSource->RefCount(), 2);  // through the pin, on the filter
    AM_MEDIA_TYPE* types[2] = {nullptr, nullptr};
    ULONG fetched = 9;
    EXPECT_EQ(pEnum->Next(2, types, nullptr), E_INVALIDARG);
    ASSERT_EQ(pEnum->Next(1, types, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    CMediaType expected;
    MakeCounterType(&expected, MEDIASUBTYPE_RGB24);
    EXPECT_TRUE(expected == *static_cast<CMediaType*>(types[0]));
    DeleteMediaType(types[0]);
    EXPECT_EQ(pEnum->Next(1, types, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(pEnum->Skip(0), S_OK);
    EXPECT_EQ(pEnum->Reset(), S_OK);
    EXPECT_EQ(pEnum->Skip(1), S_OK);
    EXPECT_EQ(pEnum->Skip(1), S_FALSE);

    EXPECT_EQ(pEnum->Reset(), S_OK);
    IEnumMediaTypes* pClone = nullptr;
    ASSERT_EQ(pEnum->Clone(&pClone), S_OK);
    EXPECT_EQ(m_pSource->RefCount(), 3);
    ASSERT_EQ(pClone->Next(1, types, &fetched), S_OK);
    DeleteMediaType(types[0]);
    EXPECT_EQ(pClone->Release(), 0u);

    pStream->SetTypeVersion(2);
    EXPECT_EQ(pEnum->Next(1, types, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(pEnum->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(pEnum->Clone(&pClone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(pEnum->Reset(), S_OK);
    ASSERT_EQ(pEnum->Next(1, types, &fetched), S_OK);
    DeleteMediaType(types[0]);
    EXPECT_EQ(pEnum->Release(), 0u);
    EXPECT_EQ(m_pSource->RefCount(), 1);
}

}  // namespace
