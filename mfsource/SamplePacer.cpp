#include "mfsource/SamplePacer.h"

#include <chrono>
#include <utility>

namespace {

// The longest single wait of the thread: it looks at the clock again after it.
constexpr LONGLONG kWaitSliceMs = 100;

}  // namespace

LONGLONG CSamplePacer::SteadyClock() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::duration<LONGLONG, std::ratio<1, 10000000>>>(now).count();
}

CSamplePacer::CSamplePacer(CPacerSink* sink, Clock clock) : m_pSink(sink), m_clock(clock) {}

CSamplePacer::~CSamplePacer() { Stop(); }

HRESULT CSamplePacer::Start(LONGLONG duration) {
    if (duration <= 0) return E_INVALIDARG;
    CMutexLock control(m_control);
    {
        CMutexLock hold(m_lock);
        m_llDuration = duration;
        m_llTickZero = m_clock();
        m_llNextTick = 0;
        m_bRunning = true;
    }
    m_wake.notify_all();
    if (!m_hThread) m_hThread.Attach(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    if (m_hThread) return S_OK;
    CMutexLock hold(m_lock);
    m_bRunning = false;
    return E_OUTOFMEMORY;
}

bool CSamplePacer::Request(IUnknown* token) {
    {
        CMutexLock hold(m_lock);
        if (!m_bRunning) return false;
        m_tokens.emplace_back(token);
    }
    m_wake.notify_all();
    return true;
}

void CSamplePacer::Stop() {
    // Released last, holding no lock: releasing a token may run its owner's code.
    std::deque<CComRef<IUnknown>> dropped;
    CMutexLock control(m_control);
    {
        CMutexLock hold(m_lock);
        m_bRunning = false;
        dropped.swap(m_tokens);
    }
    m_wake.notify_all();
    if (m_hThread) {
        // Bounded by the sink's call under way, if any: the thread's own waits end now.
        WaitForSingleObject(m_hThread.Get(), INFINITE);
        m_hThread.Close();
    }
}

DWORD WINAPI CSamplePacer::ThreadProc(LPVOID parameter) {
    CSamplePacer* pacer = static_cast<CSamplePacer*>(parameter);
    CComRef<IUnknown> token;
    LONGLONG time = 0;
    while (pacer->NextDue(&token, &time)) {
        pacer->m_pSink->OnSampleDue(token.Get(), time);
        token.Reset();
    }
    return 0;
}

bool CSamplePacer::NextDue(CComRef<IUnknown>* token, LONGLONG* time) {
    CMutexLock hold(m_lock);
    for (;;) {
        if (!m_bRunning) return false;
        LONGLONG waitMs = kWaitSliceMs;
        if (!m_tokens.empty()) {
            const LONGLONG elapsed = m_clock() - m_llTickZero;
            const LONGLONG latest = elapsed >= 0 ? elapsed / m_llDuration : -1;
            const LONGLONG tick = latest > m_llNextTick ? latest : m_llNextTick;
            if (tick <= latest) {
                *token = std::move(m_tokens.front());
                m_tokens.pop_front();
                m_llNextTick = tick + 1;
                *time = m_llTickZero + tick * m_llDuration;
                return true;
            }
            const LONGLONG leftMs = (tick * m_llDuration - elapsed + 9999) / 10000;
            if (leftMs < waitMs) waitMs = leftMs;
        }
        m_wake.wait_for(hold.Native(), std::chrono::milliseconds(waitMs));
    }
}
