// CSourceStream: the output pin of a source filter that makes its own data.
// While the filter is paused or running, one worker thread repeatedly takes an
// empty sample from the allocator, has the derived pin fill it (FillBuffer)
// and delivers it downstream; the downstream pin sets the pace by how fast it
// returns samples. The filter's state changes reach the worker as commands
// through the CAMThread request/reply channel:
//   Pause from stopped -> Active:   commit, create thread, CMD_INIT, CMD_PAUSE
//   Stop               -> Inactive: decommit, CMD_STOP, CMD_EXIT, join
// Decommitting first releases a worker blocked in GetBuffer, so it sees the
// pending stop at its next check.
//
// Threads: host threads run Active/Inactive under the filter's state lock
// and talk to the worker only through CallWorker (lock order: state lock,
// then the thread's access lock). The worker runs ThreadProc,
// DoBufferProcessingLoop and the derived pin's FillBuffer, OnThreadCreate,
// OnThreadDestroy and OnThreadStartPlay without the state lock, and must never
// wait for it: Inactive holds it while waiting for the worker.
#pragma once

#include <atomic>

#include "framework/BaseOutputPin.h"
#include "media/AMThread.h"

class CSource;

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    // Appends itself to pms's pins; *phr receives that result.
    CSourceStream(LPCWSTR pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName);
    ~CSourceStream() override;

    enum Command : DWORD { CMD_INIT = 0, CMD_PAUSE = 1, CMD_RUN = 2, CMD_STOP = 3, CMD_EXIT = 4 };

    // Fills the sample: S_OK delivers it, S_FALSE ends the stream, a failure
    // ends it with EC_ERRORABORT carrying the code. Worker thread.
    virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;
    // Worker thread: first act (a failure ends the thread and fails Active),
    // last act, and start of every streaming spell.
    virtual HRESULT OnThreadCreate();
    virtual HRESULT OnThreadDestroy();
    virtual HRESULT OnThreadStartPlay();
    virtual HRESULT DoBufferProcessingLoop();
    // The pin's single type; a pin with one type overrides this one.
    virtual HRESULT GetMediaType(CMediaType* pmt);

    HRESULT GetMediaType(int iPosition, CMediaType* pmt) override;
    HRESULT CheckMediaType(const CMediaType* pmt) override;
    HRESULT Active() override;
    HRESULT Inactive() override;
    using CBasePin::Run;

    // "1", "2", ...: the pin's place in the filter, in task memory.
    STDMETHODIMP QueryId(LPWSTR* Id) override;

protected:
    DWORD ThreadProc() override;

    HRESULT Init() { return SendCommand(CMD_INIT); }
    HRESULT Exit() { return SendCommand(CMD_EXIT); }
    HRESULT Run() { return SendCommand(CMD_RUN); }
    HRESULT Pause() { return SendCommand(CMD_PAUSE); }
    HRESULT Stop() { return SendCommand(CMD_STOP); }

public:
    // Test hook: told of every command a stream sends its worker, before it
    // is sent (null, the default: nobody is told). Set it only while no
    // stream is active.
    typedef void (*CommandHook)(CSourceStream* pStream, Command com);
    static CommandHook s_pfnCommandHook;

private:
    HRESULT SendCommand(Command com) {
        if (s_pfnCommandHook) {
            s_pfnCommandHook(this, com);
        }
        return static_cast<HRESULT>(CallWorker(com));
    }

protected:

    CSource* m_pFilter;  // the owning filter; no reference (it owns the pin)

private:
    void CloseEndedWorker();
    // Asks a live worker to stop and exit, then joins it.
    void StopWorker();

    // Set by the worker just before ThreadProc returns, so that nobody sends
    // commands to a thread that will never answer them.
    std::atomic<bool> m_bThreadEnded;
};
