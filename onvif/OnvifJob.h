// A camera search or a camera's questions on a thread of its own, so that a
// window stays responsive while they run: Start returns at once, Cancel ends
// the work within 100 ms, and `done` tells the owner (a window posts itself
// a message from it). The work writes its results into storage the owner
// keeps and reads once the job is done.
//
// Threads: the owner calls Start, Cancel, Wait and the destructor; `work`
// and `done` run on the job's thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <thread>

#include "onvif/OnvifCancel.h"
#include "platform/Mutex.h"

class COnvifJob {
public:
    COnvifJob() = default;
    ~COnvifJob();  // cancels, and waits for the work to end
    COnvifJob(const COnvifJob&) = delete;
    COnvifJob& operator=(const COnvifJob&) = delete;

    // False when a job already runs on this object or no thread could start.
    bool Start(std::function<void(const COnvifCancel&)> work, std::function<void()> done);
    void Cancel() { m_cancel.Cancel(); }
    // True once the work has returned (at most `ms` later).
    bool Wait(int ms);

private:
    COnvifCancel m_cancel;
    std::thread m_thread;
    CMutex m_lock;
    std::condition_variable m_ended;
    bool m_bDone GUARDED_BY(m_lock) = false;
};
