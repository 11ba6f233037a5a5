// Several slots' filters in one host graph, each connected to a sink of its
// own that never waits and keeps nothing. The sinks note whether a sample
// carried a camera picture (anything but black). Linux only.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "bench/common/BenchClock.h"
#include "bench/common/BenchSlot.h"
#include "filter/OculoStream.h"
#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"

class CSlotGraph {
public:
    // The filters are made one after another from the same registry key, each
    // with its slot's settings (they are read at construction).
    bool Make(const std::vector<BenchSlot>& slots);
    ~CSlotGraph();

    // Stopped only: the stores go black, so a camera picture in a sample
    // shows that the reader delivered since this Run.
    HRESULT Run();
    HRESULT Stop() { return m_graph->Stop(); }
    // Waits, bounded, until every slot's sink has had a camera picture.
    bool WaitForPictures(double timeoutMs) const;

    size_t Size() const { return m_slots.size(); }
    uint64_t Samples(size_t i) const { return m_slots[i].sink->Recorder()->SampleCount(); }
    COculoStream* Pin(size_t i) const { return m_slots[i].pin; }

private:
    struct Slot {
        BenchSlot settings;
        CComRef<IBaseFilter> filter;
        COculoStream* pin = nullptr;  // the filter's, no reference
        CComRef<CRenderSink> sink;
        std::unique_ptr<std::atomic<bool>> picture;
    };
    CComRef<CHostGraph> m_graph;
    std::vector<Slot> m_slots;
};
