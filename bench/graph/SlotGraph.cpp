#include "bench/graph/SlotGraph.h"

#include <string>

#include "bench/common/QuietSink.h"

bool CSlotGraph::Make(const std::vector<BenchSlot>& slots) {
    if (FAILED(CHostGraph::Create(m_graph.Put()))) return false;
    for (const BenchSlot& settings : slots) {
        Slot slot;
        slot.settings = settings;
        slot.picture = std::make_unique<std::atomic<bool>>(false);
        slot.filter.Attach(CreateSlotFilter(settings));
        if (!slot.filter || FAILED(CreateQuietSink(slot.sink.Put()))) return false;
        slot.pin = static_cast<COculoStream*>(static_cast<COculo*>(slot.filter.Get())->GetPin(0));
        std::atomic<bool>* picture = slot.picture.get();
        slot.sink->Recorder()->SetFrameCallback([picture](const SinkFrame& frame) {
            for (LONG i = 0; i < frame.cbData && !picture->load(std::memory_order_relaxed); i += 997) {
                if (frame.pData[i] > 16) *picture = true;
            }
        });
        const std::wstring n = std::to_wstring(m_slots.size());
        if (FAILED(m_graph->AddFilter(slot.filter.Get(), (L"Oculo " + n).c_str())) ||
            FAILED(m_graph->AddFilter(slot.sink.Get(), (L"Sink " + n).c_str())) ||
            FAILED(m_graph->ConnectDirect(static_cast<IPin*>(slot.pin), slot.sink->InputPin(), nullptr))) {
            return false;
        }
        m_slots.push_back(std::move(slot));
    }
    return true;
}

CSlotGraph::~CSlotGraph() {
    if (m_graph) m_graph->Teardown();
}

HRESULT CSlotGraph::Run() {
    for (Slot& slot : m_slots) {
        std::vector<BYTE> black(size_t(CFrameStore::StoreBytes(slot.settings.w, slot.settings.h)));
        slot.pin->OnFrame(black.data(), slot.settings.w, slot.settings.h);
        *slot.picture = false;
    }
    return m_graph->Run();
}

bool CSlotGraph::WaitForPictures(double timeoutMs) const {
    const double deadline = WallMs() + timeoutMs;
    for (const Slot& slot : m_slots) {
        while (!slot.picture->load() && WallMs() < deadline) SleepMs(5);
        if (!slot.picture->load()) return false;
    }
    return true;
}
