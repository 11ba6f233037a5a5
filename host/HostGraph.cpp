#include "host/HostGraph.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "platform/ComRef.h"

namespace {

// No real graph has this many; a misbehaving enumerator cannot loop us forever.
const int kMaxPinsPerFilter = 1024;

// Calls fn(pin) for every pin of the filter; fn gets a borrowed pointer.
template <class Fn>
void ForEachPin(IBaseFilter* pFilter, Fn fn) {
    CComRef<IEnumPins> pins;
    if (FAILED(pFilter->EnumPins(pins.Put())) || !pins) return;
    for (int i = 0; i < kMaxPinsPerFilter; ++i) {
        CComRef<IPin> pin;
        ULONG fetched = 0;
        if (pins->Next(1, pin.Put(), &fetched) != S_OK || fetched != 1 || !pin) return;
        fn(pin.Get());
    }
}

// The filter that owns the pin connected to this output pin, or empty.
CComRef<IBaseFilter> DownstreamFilter(IPin* pPin) {
    CComRef<IBaseFilter> filter;
    PIN_DIRECTION dir;
    if (FAILED(pPin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return filter;
    CComRef<IPin> peer;
    if (pPin->ConnectedTo(peer.Put()) != S_OK || !peer) return filter;
    PIN_INFO info{};
    if (SUCCEEDED(peer->QueryPinInfo(&info))) filter.Attach(info.pFilter);
    return filter;
}

std::wstring FourDigits(int n) {
    std::wstring text(4, L'0');
    for (int i = 3; i >= 0; --i, n /= 10) text[i] = static_cast<wchar_t>(L'0' + n % 10);
    return text;
}

}  // namespace

HRESULT CHostGraph::Create(CHostGraph** ppGraph) {
    if (!ppGraph) return E_POINTER;
    *ppGraph = nullptr;
    CComRef<CHostGraph> graph;
    graph.Attach(new (std::nothrow) CHostGraph());
    if (!graph) return E_OUTOFMEMORY;
    HRESULT hr = CHostClock::Create(graph->m_clock.Put());
    if (FAILED(hr)) return hr;
    *ppGraph = graph.Detach();
    return S_OK;
}

CHostGraph::~CHostGraph() { Teardown(); }

std::wstring CHostGraph::UniqueName(LPCWSTR pName) const {
    std::wstring base = pName ? pName : L"Filter";
    auto taken = [this](const std::wstring& name) REQUIRES(m_lock) {
        return std::any_of(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.name == name; });
    };
    if (!taken(base)) return base;
    for (int n = 1; n < 10000; ++n) {
        std::wstring candidate = base + L" " + FourDigits(n);
        if (!taken(candidate)) return candidate;
    }
    return std::wstring();
}

STDMETHODIMP CHostGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
    try {
        return AddFilterNamed(pFilter, pName);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CHostGraph::AddFilterNamed(IBaseFilter* pFilter, LPCWSTR pName) {
    if (!pFilter) return E_POINTER;
    std::wstring name;
    {
        CMutexLock hold(m_lock);
        for (const Entry& e : m_filters)
            if (e.filter.Get() == pFilter) return E_INVALIDARG;
        name = UniqueName(pName);
        m_filters.reserve(m_filters.size() + 1);  // so that adding cannot fail once the filter joined
    }
    if (name.empty()) return VFW_E_DUPLICATE_NAME;
    HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str());
    if (FAILED(hr)) return hr;
    hr = pFilter->SetSyncSource(m_clock.Get());
    if (FAILED(hr)) {
        pFilter->JoinFilterGraph(nullptr, nullptr);
        return hr;
    }
    bool renamed = pName && name != pName;
    CMutexLock hold(m_lock);
    m_filters.push_back(Entry{CComRef<IBaseFilter>(pFilter), std::move(name)});
    return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

STDMETHODIMP CHostGraph::RemoveFilter(IBaseFilter* pFilter) {
    if (!pFilter) return E_POINTER;
    CComRef<IBaseFilter> removed;  // the graph's reference, dropped once the filter is detached
    {
        CMutexLock hold(m_lock);
        auto it = std::find_if(m_filters.begin(), m_filters.end(),
                               [&](const Entry& e) { return e.filter.Get() == pFilter; });
        if (it == m_filters.end()) return VFW_E_NOT_FOUND;
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        removed = std::move(it->filter);
        m_filters.erase(it);
    }
    DisconnectPins(pFilter);
    Detach(pFilter);
    return S_OK;
}

STDMETHODIMP CHostGraph::EnumFilters(IEnumFilters** ppEnum) {
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CHostGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
    if (!pName || !ppFilter) return E_POINTER;
    *ppFilter = nullptr;
    CMutexLock hold(m_lock);
    for (const Entry& e : m_filters) {
        if (e.name == pName) return e.filter.CopyTo(ppFilter);
    }
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CHostGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) {
    if (!ppinOut || !ppinIn) return E_POINTER;
    return ppinOut->Connect(ppinIn, pmt);
}

STDMETHODIMP CHostGraph::Reconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    {
        CMutexLock hold(m_lock);
        ++m_cReconnects;
        m_pLastReconnect = ppin;
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    }
    CComRef<IPin> peer;
    HRESULT hr = ppin->ConnectedTo(peer.Put());
    if (FAILED(hr)) return hr;
    if (!peer) return VFW_E_NOT_CONNECTED;
    PIN_DIRECTION dir;
    hr = ppin->QueryDirection(&dir);
    if (FAILED(hr)) return hr;
    IPin* pOut = dir == PINDIR_OUTPUT ? ppin : peer.Get();
    IPin* pIn = dir == PINDIR_OUTPUT ? peer.Get() : ppin;
    hr = pOut->Disconnect();
    if (FAILED(hr)) return hr;
    hr = pIn->Disconnect();
    if (FAILED(hr)) return hr;
    return pOut->Connect(pIn, nullptr);
}

STDMETHODIMP CHostGraph::Disconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    return ppin->Disconnect();
}

STDMETHODIMP CHostGraph::SetDefaultSyncSource() {
    HRESULT result = S_OK;
    for (const CComRef<IBaseFilter>& f : SnapshotDownstreamFirst()) {
        HRESULT hr = f->SetSyncSource(m_clock.Get());
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

STDMETHODIMP CHostGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    try {
        CMutexLock hold(m_lock);
        m_events.push_back(HostEvent{EventCode, EventParam1, EventParam2});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_eventArrived.notify_all();
    return S_OK;
}

CHostGraph::Filters CHostGraph::SnapshotDownstreamFirst() const {
    Filters filters;
    {
        CMutexLock hold(m_lock);
        filters.reserve(m_filters.size());
        for (const Entry& e : m_filters) filters.emplace_back(e.filter.Get());
    }
    // Edges from each filter to the member filters its output pins feed.
    const size_t n = filters.size();
    std::vector<std::vector<size_t>> downstream(n);
    for (size_t i = 0; i < n; ++i) {
        ForEachPin(filters[i].Get(), [&](IPin* pin) {
            CComRef<IBaseFilter> peer = DownstreamFilter(pin);
            if (!peer) return;
            for (size_t j = 0; j < n; ++j)
                if (filters[j].Get() == peer.Get() && j != i) downstream[i].push_back(j);
        });
    }
    // Depth-first post-order puts every filter after all it feeds. The
    // explicit stack keeps a long chain from exhausting the thread's stack;
    // the visited marks end cycles.
    Filters ordered;
    std::vector<bool> visited(n, false);
    for (size_t root = 0; root < n; ++root) {
        if (visited[root]) continue;
        std::vector<std::pair<size_t, size_t>> stack{{root, 0}};
        visited[root] = true;
        while (!stack.empty()) {
            auto& [node, next] = stack.back();
            if (next < downstream[node].size()) {
                size_t child = downstream[node][next++];
                if (!visited[child]) {
                    visited[child] = true;
                    stack.push_back({child, 0});
                }
            } else {
                ordered.push_back(std::move(filters[node]));
                stack.pop_back();
            }
        }
    }
    return ordered;
}

void CHostGraph::StopAll(const Filters& filters, HRESULT* pFirstFailure) {
    for (const CComRef<IBaseFilter>& f : filters) {
        HRESULT hr = f->Stop();
        if (FAILED(hr) && pFirstFailure && SUCCEEDED(*pFirstFailure)) *pFirstFailure = hr;
    }
    CMutexLock hold(m_lock);
    m_state = State_Stopped;
}

// Tells every filter, downstream first; on the first refusal stops them all
// again (so no filter is left paused or running) and returns it.
HRESULT CHostGraph::ChangeAll(FILTER_STATE target, REFERENCE_TIME tStart) {
    const Filters filters = SnapshotDownstreamFirst();
    for (const CComRef<IBaseFilter>& f : filters) {
        HRESULT hr = target == State_Running ? f->Run(tStart) : f->Pause();
        if (FAILED(hr)) {
            StopAll(filters, nullptr);
            return hr;
        }
    }
    CMutexLock hold(m_lock);
    m_state = target;
    return S_OK;
}

HRESULT CHostGraph::Pause() { return ChangeAll(State_Paused, 0); }

HRESULT CHostGraph::Run() {
    if (GetState() == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    REFERENCE_TIME tStart;
    {
        CMutexLock hold(m_lock);
        tStart = CHostClock::Now() + m_rtRunOffset;
        m_rtRunStart = tStart;
    }
    return ChangeAll(State_Running, tStart);
}

HRESULT CHostGraph::Stop() {
    HRESULT result = S_OK;
    StopAll(SnapshotDownstreamFirst(), &result);
    return result;
}

FILTER_STATE CHostGraph::GetState() const {
    CMutexLock hold(m_lock);
    return m_state;
}

void CHostGraph::DisconnectPins(IBaseFilter* pFilter) {
    ForEachPin(pFilter, [](IPin* pin) {
        CComRef<IPin> peer;
        if (pin->ConnectedTo(peer.Put()) != S_OK || !peer) return;
        pin->Disconnect();
        peer->Disconnect();
    });
}

void CHostGraph::Detach(IBaseFilter* pFilter) {
    pFilter->SetSyncSource(nullptr);
    pFilter->JoinFilterGraph(nullptr, nullptr);
}

HRESULT CHostGraph::Teardown() {
    HRESULT result = Stop();
    std::vector<Entry> filters;
    {
        CMutexLock hold(m_lock);
        filters.swap(m_filters);
    }
    for (Entry& e : filters) DisconnectPins(e.filter.Get());
    // Each filter goes as soon as it is detached, before the next is told.
    for (Entry& e : filters) {
        Detach(e.filter.Get());
        e.filter.Reset();
    }
    return result;
}

REFERENCE_TIME CHostGraph::RunStart() const {
    CMutexLock hold(m_lock);
    return m_rtRunStart;
}

void CHostGraph::SetRunOffset(REFERENCE_TIME rtOffset) {
    CMutexLock hold(m_lock);
    m_rtRunOffset = rtOffset;
}

size_t CHostGraph::FilterCount() const {
    CMutexLock hold(m_lock);
    return m_filters.size();
}

std::vector<HostEvent> CHostGraph::Events() const {
    CMutexLock hold(m_lock);
    return m_events;
}

size_t CHostGraph::CountEvents(LONG lCode) const {
    CMutexLock hold(m_lock);
    return static_cast<size_t>(std::count_if(m_events.begin(), m_events.end(),
                                             [&](const HostEvent& e) { return e.lCode == lCode; }));
}

bool CHostGraph::WaitForEvent(LONG lCode, DWORD dwTimeoutMs, HostEvent* pEvent) const {
    CMutexLock hold(m_lock);
    auto find = [&]() REQUIRES(m_lock) {
        return std::find_if(m_events.begin(), m_events.end(), [&](const HostEvent& e) { return e.lCode == lCode; });
    };
    bool found = m_eventArrived.wait_for(hold.Native(), std::chrono::milliseconds(dwTimeoutMs),
                                         [&]() REQUIRES(m_lock) { return find() != m_events.end(); });
    if (found && pEvent) *pEvent = *find();
    return found;
}

void CHostGraph::ClearEvents() {
    CMutexLock hold(m_lock);
    m_events.clear();
}

size_t CHostGraph::ReconnectCount() const {
    CMutexLock hold(m_lock);
    return m_cReconnects;
}

IPin* CHostGraph::LastReconnectPin() const {
    CMutexLock hold(m_lock);
    return m_pLastReconnect;
}

IPin* FindOutputPin(IBaseFilter* pFilter) {
    if (pFilter == nullptr) return nullptr;
    CComRef<IPin> found;
    ForEachPin(pFilter, [&](IPin* pin) {
        PIN_DIRECTION direction = PINDIR_INPUT;
        if (!found && SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT)
            found = CComRef<IPin>(pin);
    });
    return found.Detach();
}
