// What the filter tests share: a registry file of their own with one slot's
// settings, the slot's filter, and the host graph with its rendering sink.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "filter/Oculo.h"
#include "filter/OculoStream.h"
#include "host/HostGraph.h"
#include "platform/ComRef.h"
#include "host/RenderSink.h"
#include "tests/SizedStatus.h"
#include "tests/platform/RegistryFixture.h"

// The slot the tests configure; its display name in the test's slot table.
const int kSlot = 2;
extern const WCHAR kSlotName[];

struct SlotConfig {
    std::wstring url;  // empty: no camera (the reader keeps failing, samples flow)
    LONG w = 64;
    LONG h = 48;
    float fps = 25.0f;
    LONG crop_l = 0, crop_t = 0, crop_r = 0, crop_b = 0;
    LONG tShift = 0;
    LONG status = 1;  // the status card
};

class FilterTest : public RegistryFileTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the slot's settings and creates its filter (one reference in m_filter).
    void CreateFilter(const SlotConfig& config);
    // The graph with the filter and a rendering sink that never waits.
    void MakeGraph();
    void Connect();

    CComRef<IBaseFilter> m_filter;
    COculo* m_pOculo = nullptr;
    COculoStream* m_pPin = nullptr;  // no reference: the filter's
    CComRef<CHostGraph> m_graph;
    CComRef<CRenderSink> m_sink;
    HRESULT m_hrCom = E_FAIL;
};
