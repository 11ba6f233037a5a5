// A small source filter for the framework's tests: one CSourceStream pin that
// offers RGB24 video (8 x 4 pixels) and fills sample n with a counter pattern
// (every byte n & 0xFF, the first four bytes n itself) stamped with
// [n * kFrameTime, (n + 1) * kFrameTime). Its hooks can be told to fail, end
// the stream, hold samples (to drain the allocator) or log the connection
// hooks they run.
//
// Threads: configure while stopped; the counters are atomics read anywhere.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/Source.h"
#include "framework/SourceStream.h"

extern const GUID CLSID_CounterSource;

const REFERENCE_TIME kFrameTime = 400000;  // 40 ms
const LONG kWidth = 8;
const LONG kHeight = 4;
const LONG kFrameBytes = kWidth * 3 * kHeight;

struct CounterConfig {
    LONG cBuffers = 2;
    LONG endAfter = -1;           // FillBuffer answers S_FALSE once this many samples were filled
    LONG failAfter = -1;          // ... or hrFail once this many were filled
    HRESULT hrFail = E_FAIL;
    HRESULT hrThreadCreate = S_OK;
    bool holdSamples = false;     // keep every filled sample until ReleaseHeld
    // The subtypes offered, in order (all RGB-style VideoInfo types of the
    // same size); CheckMediaType accepts exactly these.
    std::vector<GUID> subtypes{MEDIASUBTYPE_RGB24};
    HRESULT hrCheckMediaType = S_OK;   // returned instead of S_OK when set to a failure
    HRESULT hrCompleteConnect = S_OK;  // returned after the base's CompleteConnect when a failure
    HRESULT hrDecideBufferSize = S_OK; // forced failure of DecideBufferSize
    // Replaces the platform allocator in InitAllocator when set.
    std::function<HRESULT(IMemAllocator**)> initAllocator;
};

class CCounterSource;

class CCounterStream final : public CSourceStream {
public:
    CCounterStream(HRESULT* phr, CCounterSource* pFilter);

    CounterConfig m_cfg;

    std::atomic<LONG> m_cFills{0};
    std::atomic<LONG> m_cThreadCreates{0};
    std::atomic<LONG> m_cThreadDestroys{0};
    std::atomic<LONG> m_cStartPlays{0};
    std::atomic<LONG> m_cInitAllocator{0};
    ALLOCATOR_PROPERTIES m_propsSeen{};  // what DecideBufferSize was handed, last call

    // The connection hooks run, in order ("CheckConnect", "CheckMediaType",
    // "SetMediaType", "CompleteConnect", "BreakConnect").
    std::vector<std::string> Hooks();
    void ClearHooks();
    void ReleaseHeld();
    size_t HeldCount();
    bool HasAllocator() const { return m_pAllocator != nullptr; }
    bool HasInputPin() const { return m_pInputPin != nullptr; }
    void SetTypeVersion(LONG v) { m_TypeVersion = v; }

    HRESULT FillBuffer(IMediaSample* pSample) override;
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override;
    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    using CSourceStream::GetMediaType;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT SetMediaType(const CMediaType* pmt) override;
    HRESULT CheckConnect(IPin* pPin) override;
    HRESULT CompleteConnect(IPin* pReceivePin) override;
    HRESULT BreakConnect() override;
    HRESULT InitAllocator(IMemAllocator** ppAlloc) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    HRESULT OnThreadStartPlay() override;

private:
    void Log(const char* hook);

    LONG m_iFrame = 0;  // worker thread only
    std::mutex m_mutex;  // guards the two below
    std::vector<std::string> m_hooks;
    std::vector<IMediaSample*> m_held;
};

class CCounterSource final : public CSource {
public:
    // A new filter with its pin and one reference for the caller.
    static CCounterSource* Create();
    ~CCounterSource() override;

    CCounterStream* Stream() { return m_pStream; }
    IPin* OutputPin() { return static_cast<IPin*>(m_pStream); }
    IBaseFilter* Filter() { return static_cast<IBaseFilter*>(this); }
    LONG RefCount() const { return m_cRef; }
    void SetPinVersion(LONG v) { m_PinVersion = v; }

    // Filters destroyed so far, process-wide.
    static std::atomic<int> s_cDestroyed;

private:
    CCounterSource();
    CCounterStream* m_pStream = nullptr;  // owned through the pin array
};

// Fills mt with the counter pin's type for the given subtype.
void MakeCounterType(CMediaType* pmt, const GUID& subtype);
