#include "tests/filter/FilterFixture.h"

#include "framework/ClassFactory.h"
#include "module/SlotClasses.h"

const WCHAR kSlotName[] = L"Oculo 03";

// The filter reads its slot's name and class from the module's table; this
// binary serves no classes.
CFactoryTemplate g_Templates[3] = {{L"Oculo 01", &g_SlotClsids[0], nullptr, nullptr, nullptr},
                                   {L"Oculo 02", &g_SlotClsids[1], nullptr, nullptr, nullptr},
                                   {kSlotName, &g_SlotClsids[2], nullptr, nullptr, nullptr}};
int g_cTemplates = 0;

void FilterTest::SetUp() {
    RegistryFileTest::SetUp();
    m_hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

void FilterTest::TearDown() {
    if (m_graph) {
        EXPECT_EQ(m_graph->Teardown(), S_OK);
    }
    m_graph.Reset();
    m_sink.Reset();
    m_filter.Reset();
    CSourceStream::s_pfnCommandHook = nullptr;  // a test's hook goes with its filter
    if (SUCCEEDED(m_hrCom)) {
        CoUninitialize();
    }
    RegistryFileTest::TearDown();
}

void FilterTest::CreateFilter(const SlotConfig& c) {
    const WCHAR key[] = L"SOFTWARE\\TALVO\\Oculo\\02";
    ASSERT_EQ(RegWriteDword(key, L"enable", 1), kRegWriteOk);
    ASSERT_EQ(RegWriteString(key, L"url", c.url.c_str()), kRegWriteOk);
    ASSERT_EQ(RegWriteFloat(key, L"fps", c.fps), kRegWriteOk);
    const struct {
        const WCHAR* name;
        LONG value;
    } dwords[] = {{L"w", c.w},           {L"h", c.h},           {L"crop_l", c.crop_l}, {L"crop_t", c.crop_t},
                  {L"crop_r", c.crop_r}, {L"crop_b", c.crop_b}, {L"tShift", c.tShift}, {L"status", c.status}};
    for (const auto& d : dwords) {
        ASSERT_EQ(RegWriteDword(key, d.name, static_cast<DWORD>(d.value)), kRegWriteOk);
    }
    HRESULT hr = E_FAIL;
    m_pOculo = new COculo(nullptr, &hr, kSlot);
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(m_pOculo->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(m_filter.Put())), S_OK);
    m_pPin = static_cast<COculoStream*>(m_pOculo->GetPin(0));
    ASSERT_NE(m_pPin, nullptr);
}

void FilterTest::MakeGraph() {
    ASSERT_EQ(CHostGraph::Create(m_graph.Put()), S_OK);
    ASSERT_EQ(CRenderSink::Create(m_sink.Put()), S_OK);
    m_sink->Pin()->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    ASSERT_EQ(m_graph->AddFilter(m_filter.Get(), L"Oculo"), S_OK);
    ASSERT_EQ(m_graph->AddFilter(m_sink.Get(), L"Sink"), S_OK);
}

void FilterTest::Connect() {
    ASSERT_EQ(m_graph->ConnectDirect(static_cast<IPin*>(m_pPin), m_sink->InputPin(), nullptr), S_OK);
}
